#!/usr/bin/env python3
"""Each manual page against its program's --help, which the program writes from the table its
command line is read by: every option --help lists has an entry (.TP) in the page, with the same
argument, and every option entry of the page is one --help lists; the page's EXIT STATUS entries
are the statuses under --help's "Exit status:", no more and no fewer.

Usage: man_page_check.py PROGRAM PAGE [PROGRAM PAGE]...
"""

import re
import subprocess
import sys

ALTERNATING = {"BI", "BR", "IB", "IR", "RB", "RI"}


def roff_text(line):
    """A line of the page as it reads, fonts dropped; None for a request that prints nothing."""
    if line.startswith("."):
        macro, _, rest = line[1:].partition(" ")
        args = [quoted.replace('""', '"') if quoted or not bare else bare
                for quoted, bare in re.findall(r'"((?:[^"]|"")*)"|(\S+)', rest)]
        if macro in ("B", "I", "SH"):
            line = " ".join(args)
        elif macro in ALTERNATING:
            line = "".join(args)
        else:
            return None
    line = re.sub(r"\\f(\(..|\[[^]]*\]|.)|\\&", "", line)
    return " ".join(line.replace("\\-", "-").replace("\\(aq", "'").split())


def page_entries(path):
    """The option entries (tags starting with '-') and the EXIT STATUS entries of a page."""
    with open(path, encoding="utf-8") as page:
        lines = page.read().splitlines()
    section, options, statuses = "", set(), set()
    for at, line in enumerate(lines):
        if line.startswith(".SH "):
            section = roff_text(line)
        elif line == ".TP" and at + 1 < len(lines):
            tag = roff_text(lines[at + 1])
            if not tag:
                continue
            if section == "EXIT STATUS" and tag.isdigit():
                statuses.add(int(tag))
            elif tag.startswith("-"):
                options.add(tag)
    return options, statuses


def help_entries(program):
    """The options (as "-h, --help" or "--name ARG") and exit statuses the program's --help lists."""
    text = subprocess.run([program, "--help"], capture_output=True, text=True, timeout=60,
                          check=True).stdout
    options = {" ".join(m.group(1).split())
               for m in re.finditer(r"^  (-\S.*?)(?:  |$)", text, re.MULTILINE)}
    statuses = set()
    _, found, rest = text.partition("\nExit status:\n")
    for line in rest.splitlines() if found else []:
        if not line.startswith("  "):
            break
        if m := re.match(r"  (\d+)  ", line):
            statuses.add(int(m.group(1)))
    return options, statuses


def check(program, page):
    problems = []
    help_options, help_statuses = help_entries(program)
    page_options, page_statuses = page_entries(page)
    if not help_options or not help_statuses:
        problems.append(f"{program} --help: no options or no exit statuses found in it")
    problems += [f"{page}: no entry for {o}, which {program} --help lists"
                 for o in sorted(help_options - page_options)]
    problems += [f"{page}: {o} is not in {program} --help" for o in sorted(page_options - help_options)]
    problems += [f"{page}: EXIT STATUS has no {s}, which {program} --help lists"
                 for s in sorted(help_statuses - page_statuses)]
    problems += [f"{page}: EXIT STATUS {s} is not in {program} --help"
                 for s in sorted(page_statuses - help_statuses)]
    return problems


def main(args):
    if not args or len(args) % 2:
        sys.exit(__doc__)
    problems = [p for at in range(0, len(args), 2) for p in check(args[at], args[at + 1])]
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
