#!/usr/bin/env python3
"""The manual page renders without a single groff warning, and quotes every
message and question of the program, so that a new message cannot be added
without documenting it.

usage: man_test.py MANPAGE SOURCE_DIR
"""

import re
import subprocess
import sys
from pathlib import Path

# Where the program's console texts live: every literal of the message
# files, the Linux end of --help and the dialogue's questions.
MESSAGES = ("run/messages.h", "run/messages.cc", "run/messages_posix.cc",
            "parameters/prompts.h")
LITERAL = r'"((?:[^"\\]|\\.)*)"'


def unescape(literal):
    return bytes(literal, "ascii").decode("unicode_escape")


def console_texts(source):
    texts = []
    for name in MESSAGES:
        code = re.sub(r'(?m)^#include .*$', '', (source / name).read_text())
        texts += [unescape(m) for m in re.findall(LITERAL, code)]
    # Fragments of the messages built around a file name or a number.
    texts = [" ".join(t.split()) for t in texts]
    return sorted({t for t in texts if t and t != "<string>"})


def groff(page, *options):
    done = subprocess.run(["groff", "-ww", "-man", "-Tutf8", *options, str(page)],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          check=False)
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode()


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    page, source = Path(argv[1]), Path(argv[2])
    failures = []

    status, _, warnings = groff(page)
    if status != 0 or warnings:
        failures.append("groff -ww (status %d):\n%s" % (status, warnings))

    # One long line per paragraph, no bold or underline, so that each
    # message reads as it is printed.
    _, text, _ = groff(page, "-rLL=2000n", "-P-cbou")
    text = " ".join(text.translate({0x2010: "-", 0x2212: "-", 0x2019: "'",
                                    0x2018: "'"}).split())
    texts = console_texts(source)
    if len(texts) < 20:
        failures.append("only %d console texts found in the sources" % len(texts))
    for t in texts:
        if t not in text:
            failures.append("not in the manual page: %r" % t)

    for f in failures:
        print("FAILED: " + f, file=sys.stderr)
    if not failures:
        print("%s: no warnings, %d console texts quoted" % (page, len(texts)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
