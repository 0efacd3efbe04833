#!/usr/bin/env python3
"""test-summary.py JUNIT_FILE...

The one line that ends the test command: over the JUnit files that ctest
wrote (--output-junit), how many suites ran, passed and failed, how many
were skipped, and why, grouped by the reason each skipped one gave on its
"SKIPPED: " line. Exits 1 when a suite failed or a file is missing, so that
the line cannot hide a failure."""
import collections
import sys
import xml.etree.ElementTree as ET


def reason(case):
    out = case.findtext("system-out") or ""
    for line in out.splitlines():
        marker = line.find("SKIPPED: ")
        if marker >= 0:
            return line[marker + len("SKIPPED: "):].strip()
    skipped = case.find("skipped")
    message = skipped.get("message") if skipped is not None else None
    return "no reason given" + (" (%s)" % message if message else "")


def main(paths):
    passed = failed = 0
    failures = []
    skipped = collections.Counter()
    for path in paths:
        try:
            cases = ET.parse(path).getroot().iter("testcase")
        except (OSError, ET.ParseError) as e:
            print("tests: cannot read %s: %s" % (path, e))
            return 1
        for case in cases:
            status = case.get("status")
            if status == "run" and case.find("failure") is None:
                passed += 1
            elif status in ("notrun", "disabled") and case.find("failure") is None:
                skipped[reason(case)] += 1
            else:
                failed += 1
                failures.append(case.get("name"))
    line = "tests: %d suites run, %d passed, %d failed; %d skipped" % (
        passed + failed, passed, failed, sum(skipped.values()))
    if skipped:
        line += ": " + "; ".join("%d as %s" % (n, why) for why, n in skipped.most_common())
    if failures:
        line += "; failed: " + ", ".join(failures)
    print(line)
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1:]))
