#!/usr/bin/env python3
"""The README's and docs/'s links and commands, as a fresh clone holds them.

Checks, for README.md and every docs/*.md:
- each relative link or image names a file or folder that exists, inside
  the repository, and each #anchor names a heading of its target;
- each script path a command or code span shows (tools/..., tests/...,
  .ci/...) exists, globs matching at least one file;
- each `cmake --preset X`, `cmake --build --preset X` and `ctest --preset X`
  names a configure, build or test preset of CMakePresets.json;
- each argument shown for a script is one its usage text or case arms
  accept (a placeholder such as RUNS stands for any number);
- the links of tools/*/README.md, likewise;
- every docs/*.md is linked from the README, and the README's only shell
  block is the two set-up commands, word for word.

Usage: doc_links.py [REPOSITORY]   (default: the one holding this file)
"""
import glob
import json
import os
import re
import shlex
import sys

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                       os.path.join(os.path.dirname(__file__), "..", ".."))
TWO_COMMANDS = [
    "bash tools/demo.sh    # set up, build, write the demo disks and measure one",
    "bash tools/test.sh    # set up, build native, win32 and win64, run every test",
]
INTRO = "On a fresh Debian 12 or 13 machine, as root, from a clone of this repository:"
SCRIPT_DIRS = ("tools/", "tests/", ".ci/")

failures = []
checked = {"links": 0, "anchors": 0, "scripts": 0, "presets": 0, "arguments": 0, "paths": 0}


def fail(where, what):
    failures.append(f"{where}: {what}")


def slug(heading):
    # GitHub's anchor of a heading: markup dropped, lower case, punctuation
    # other than - and _ removed, spaces to hyphens.
    text = re.sub(r"[`*_]|\[([^\]]*)\]\([^)]*\)", lambda m: m.group(1) or "", heading)
    text = text.strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(path):
    found, counts, fenced = set(), {}, False
    for line in open(path, encoding="utf-8"):
        if line.startswith("```"):
            fenced = not fenced
        m = None if fenced else re.match(r"#{1,6}\s+(.*?)\s*#*\s*$", line)
        if m:
            s = slug(m.group(1))
            n = counts.get(s, 0)
            counts[s] = n + 1
            found.add(s if n == 0 else f"{s}-{n}")
    return found


def presets():
    with open(os.path.join(ROOT, "CMakePresets.json"), encoding="utf-8") as f:
        data = json.load(f)
    return {kind: {p["name"] for p in data.get(kind, [])}
            for kind in ("configurePresets", "buildPresets", "testPresets")}


def accepted_words(script):
    """Words a script's usage lines and case arms accept, and whether its
    usage has a placeholder (an upper-case word) that takes any number; a
    usage that lists numbers (12|13) takes only those."""
    words, placeholder, numbers = set(), False, False
    text = open(script, encoding="utf-8", errors="replace").read()
    for line in text.splitlines():
        usage = re.search(r"usage:?(.*)", line, re.IGNORECASE)
        arm = re.match(r"\s*\(?([^()#\"'$]+)\)", line)
        if usage:
            part = usage.group(1)
            words.update(re.findall(r"--?[\w-]+|\b[\w.]+\b", part))
            words.update(w.strip("[]\"'") for w in part.split())
            if re.search(r"\b[A-Z][A-Z_]+\b", part):
                placeholder = True
            if re.search(r"[\[|]\d+[\]|]", part):
                numbers = True
        if arm and not line.lstrip().startswith(("if", "for", "while", "[", "echo")):
            for alt in arm.group(1).split("|"):
                words.add(alt.strip())
    return words, placeholder and not numbers


def check_command(where, words, known):
    """words: a shell command split into words, comment dropped."""
    i = 0
    while i < len(words):
        w = words[i]
        if w in ("&&", "||", "|", ";"):
            i += 1
            continue
        if w == "bash" and i + 1 < len(words):
            i += 1
            w = words[i]
        if w in ("cmake", "ctest"):
            j = i + 1
            kind = "configurePresets" if w == "cmake" else "testPresets"
            while j < len(words) and words[j] not in ("&&", "||", "|", ";"):
                if words[j] == "--build":
                    kind = "buildPresets"
                if words[j] == "--preset" and j + 1 < len(words):
                    checked["presets"] += 1
                    if words[j + 1] not in known[kind]:
                        fail(where, f"{w}: no {kind[:-1]} named {words[j + 1]!r} in CMakePresets.json")
                j += 1
            i = j
            continue
        if w.startswith(SCRIPT_DIRS) and w.endswith((".sh", ".py")):
            path = os.path.join(ROOT, w)
            checked["scripts"] += 1
            if "*" in w:
                if not glob.glob(path):
                    fail(where, f"no script matches {w}")
                i += 1
                continue
            if not os.path.isfile(path):
                fail(where, f"no script {w}")
                return
            ok, placeholder = accepted_words(path)
            j = i + 1
            while j < len(words) and words[j] not in ("&&", "||", "|", ";"):
                arg = words[j].strip("[]")
                checked["arguments"] += 1
                if arg == "COMMAND" or ("COMMAND" in ok and arg not in ok):
                    # The rest is a command of its own, run by this one.
                    check_command(where, words[j:], known)
                    return
                if arg not in ok and not (placeholder and re.fullmatch(r"[\d]+|[A-Z_]+", arg)):
                    fail(where, f"{w} does not accept {words[j]!r} (not in its usage or case arms)")
                j += 1
            i = j
            continue
        i += 1


def check_file(md, known, links_only=False):
    rel = os.path.relpath(md, ROOT)
    text = open(md, encoding="utf-8").read()
    lines = text.splitlines()

    # Outside the fenced blocks, which are blanked so that offsets keep
    # their line numbers.
    prose = re.sub(r"^```.*?^```", lambda m: re.sub(r"[^\n]", " ", m.group(0)),
                   text, flags=re.S | re.M)
    if links_only:
        check_links(md, rel, prose)
        return text, []

    # Fenced blocks.
    fenced, lang, blocks = False, "", []
    for n, line in enumerate(lines, 1):
        if line.startswith("```"):
            fenced, lang = (not fenced), line[3:].strip()
            if fenced:
                blocks.append((lang, []))
            continue
        if fenced:
            blocks[-1][1].append(line)
            # Shell blocks, and in any block a line that starts as a command.
            first = line.split()[0] if line.split() else ""
            if line.strip() and (lang in ("sh", "bash") or first in ("bash", "cmake", "ctest")
                                 or first.startswith(SCRIPT_DIRS)):
                try:
                    words = shlex.split(line, comments=True)
                except ValueError as e:
                    fail(f"{rel}:{n}", f"not a command a shell can read: {e}")
                    continue
                check_command(f"{rel}:{n}", words, known)

    # Code spans: a command or a path of the repository.
    for m in re.finditer(r"`([^`\n]+)`", prose):
        span = m.group(1)
        n = prose.count("\n", 0, m.start()) + 1
        where = f"{rel}:{n}"
        try:
            words = shlex.split(span)
        except ValueError:
            continue
        if not words:
            continue
        if words[0] in ("bash", "cmake", "ctest") or words[0].startswith(SCRIPT_DIRS):
            if words[0].startswith(SCRIPT_DIRS) and not words[0].endswith((".sh", ".py")):
                if "*" in words[0]:
                    if not glob.glob(os.path.join(ROOT, words[0])):
                        fail(where, f"nothing matches {words[0]}")
                elif not os.path.exists(os.path.join(ROOT, words[0])):
                    fail(where, f"no {words[0]} in the repository")
                continue
            check_command(where, words, known)

    # An option named alone (`--keep`) in a section that shows scripts: one
    # of them must accept it.
    bounds = [m.start() for m in re.finditer(r"^#{1,6} ", text, flags=re.M)] + [len(text)]
    for start, end in zip([0] + bounds, bounds):
        scripts = {s for s in re.findall(r"(?<![\w/.])(?:tools|tests)/[\w/.-]+\.sh", text[start:end])
                   if os.path.isfile(os.path.join(ROOT, s))}
        if not scripts:
            continue
        ok = set().union(*(accepted_words(os.path.join(ROOT, s))[0] for s in scripts))
        for m in re.finditer(r"`(--[\w-]+)`", prose[start:end]):
            checked["arguments"] += 1
            if m.group(1) not in ok:
                fail(f"{rel}:{prose.count(chr(10), 0, start + m.start()) + 1}",
                     f"{m.group(1)}: not accepted by {', '.join(sorted(scripts))}")

    # Paths of the repository named in the text, in code or not.
    for m in re.finditer(r"(?<![\w/.<>-])(?:tools|tests|src|cmake|docs|\.ci)/[\w.*/-]*[\w*/]", prose):
        checked["paths"] += 1
        if not glob.glob(os.path.join(ROOT, m.group(0))):
            fail(f"{rel}:{prose.count(chr(10), 0, m.start()) + 1}", f"no {m.group(0)} in the repository")

    check_links(md, rel, prose)
    return text, blocks


def check_links(md, rel, prose):
    here = os.path.dirname(md)
    # Links and images.
    for m in re.finditer(r"!?\[[^\]]*\]\(([^)\s]+)\)", prose):
        target = m.group(1)
        n = prose.count("\n", 0, m.start()) + 1
        where = f"{rel}:{n}"
        if re.match(r"[a-z]+:", target):
            continue
        path, _, anchor = target.partition("#")
        dest = os.path.normpath(os.path.join(here, path)) if path else md
        if not (dest + os.sep).startswith(ROOT + os.sep) and dest != ROOT:
            fail(where, f"link {target} leaves the repository")
            continue
        checked["links"] += 1
        if not os.path.exists(dest):
            fail(where, f"link {target}: no {os.path.relpath(dest, ROOT)}")
            continue
        if anchor:
            checked["anchors"] += 1
            if not dest.endswith(".md") or anchor not in anchors(dest):
                fail(where, f"link {target}: no heading #{anchor} in {os.path.relpath(dest, ROOT)}")


def main():
    readme = os.path.join(ROOT, "README.md")
    docs = sorted(glob.glob(os.path.join(ROOT, "docs", "*.md")))
    if not os.path.isfile(readme) or not os.path.isfile(os.path.join(ROOT, "CMakePresets.json")):
        print(f"skipped: {ROOT} holds no README.md or CMakePresets.json")
        return 77
    known = presets()
    text, blocks = check_file(readme, known)
    for doc in docs:
        check_file(doc, known)
    # The tools' own documents, which the docs link and which link back.
    for other in sorted(glob.glob(os.path.join(ROOT, "tools", "*", "README.md"))):
        check_file(other, known, links_only=True)

    shell = [b for lang, b in blocks if lang in ("sh", "bash")]
    if shell != [TWO_COMMANDS]:
        fail("README.md", "its shell blocks are not exactly the two set-up commands")
    if INTRO not in text:
        fail("README.md", "the sentence introducing the two commands is gone")
    linked = {os.path.normpath(os.path.join(ROOT, t.partition("#")[0]))
              for t in re.findall(r"\]\(([^)\s#]+)[^)]*\)", text)}
    for doc in docs:
        if doc not in linked:
            fail("README.md", f"does not link {os.path.relpath(doc, ROOT)}")

    for f in failures:
        print("FAIL:", f)
    print(f"README.md and {len(docs)} documents: "
          + ", ".join(f"{n} {k}" for k, n in checked.items()) + f" checked; {len(failures)} faults")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
