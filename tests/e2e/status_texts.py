"""The status-line texts of a run, per family, as patterns for the e2e
checks, the demo and the benchmark: CYLINDER[family] matches a cylinder's
line (groups: cylinder, speed, minimum, maximum), SUMMARY[family] the summary
(groups: cylinders, ms, minimum, effective, average, maximum).

The patterns are written so that they mean the same as Python expressions
and as POSIX extended ones ([0-9] rather than \\d, no (?:...)), so that the
shell scripts match them with [[ =~ ]] as printed by

    status_texts.py cylinder FAMILY
    status_texts.py summary FAMILY [COUNT_PATTERN]

COUNT_PATTERN (default [0-9]+) takes the place of what the summary's first
group matches, e.g. 6 for a run of exactly 6 cylinders.
"""
import re
import sys

N = "([0-9]+)"

CYLINDER_TEXT = {
    "9x": rf"^栈道  {N}\. 速度  {N} kB/s\. 最低速度  {N}, 最高速度  {N}\.$",
    "nt": rf"^Track {N}\. Speed {N} kB/s\. Min speed {N}, max speed {N}\.$",
}
SUMMARY_TEXT = {
    "9x": rf"^读取 {N} 栈道用了   {N} ms\. Speed <min/eff/avr/max> {N}/{N}/{N}/{N} kB/s\.$",
    "nt": rf"^Read {N} tracks for {N} ms\. Speed <min/eff/avr/max> {N}/{N}/{N}/{N} kB/s\.$",
}

CYLINDER = {family: re.compile(text) for family, text in CYLINDER_TEXT.items()}
SUMMARY = {family: re.compile(text) for family, text in SUMMARY_TEXT.items()}


def summary_text(family, count="[0-9]+"):
    """SUMMARY_TEXT[family] with the count's group matching COUNT instead;
    the group stays the first, so the numbering holds."""
    head, _, tail = SUMMARY_TEXT[family].partition(N)
    return head + "(" + count + ")" + tail


def main(args):
    if len(args) == 2 and args[0] == "cylinder" and args[1] in CYLINDER_TEXT:
        text = CYLINDER_TEXT[args[1]]
    elif len(args) in (2, 3) and args[0] == "summary" and args[1] in SUMMARY_TEXT:
        text = summary_text(*args[1:])
    else:
        sys.exit("usage: status_texts.py cylinder 9x|nt | summary 9x|nt [COUNT_PATTERN]")
    # UTF-8 whatever the caller's locale, as the scripts' own texts are.
    sys.stdout.buffer.write(text.encode("utf-8") + b"\n")


if __name__ == "__main__":
    main(sys.argv[1:])
