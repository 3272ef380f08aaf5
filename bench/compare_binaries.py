#!/usr/bin/env python3
"""Runs two brantix programs on the same random pages and compares them.

  bench/compare_binaries.py BEFORE AFTER [COUNT [SEED]]

For a change that must not change what the program writes: BEFORE is the
program built before it (for instance from a git worktree of the previous
commit), AFTER the one built with it. Each page is over 256 KiB, with lines
of 505 to 2000 bytes among short ones, lone CRs, NULs, table markers and
their halves, and LF, CR LF or mixed line ends; each run is "p.htm -1" with
a random param.txt and Enter on standard input. The new page, the backup,
the output and the exit status must be the same. COUNT pages (1000 by
default); stops at the first difference and keeps its folder.
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile

TOKENS = [b"<tr>", b"</td>", b"<td>", b"</tr>", b"son.gif",
          b"..///films/a/b.htm", b"<img src=\"../son.gif\">", b"<t", b"r>",
          b"</t", b"d>", b"son.", b"gif", b"..", b"///", b"\0", b"\r",
          b"<TR>", b"\t"]
MIXED_ENDS = [b"\n", b"\r\n", b"\r\r\n", b"\n\r"]


def make_page(rng):
    """A random page of more than 256 KiB."""
    size = rng.randint(256 * 1024 + 1, 700 * 1024)
    ends = rng.choice(["lf", "crlf", "mixed"])
    long_share = rng.choice([0.05, 0.3, 0.9])
    page = bytearray()
    while len(page) < size:
        length = (rng.randint(505, 2000) if rng.random() < long_share
                  else rng.randint(0, 60))
        line = bytearray()
        while len(line) < length:
            if rng.random() < 0.15:
                line += rng.choice(TOKENS)
            else:
                line += bytes([rng.choice(b"abcdefghij xyz<>./")]) * \
                    rng.randint(1, 40)
        if rng.random() < 0.5:
            line = line[:length]
        page += line
        if ends == "lf":
            page += b"\n"
        elif ends == "crlf":
            page += b"\r\n"
        else:
            page += rng.choice(MIXED_ENDS)
    return bytes(page)


def make_param(rng):
    """A random param.txt: a column and five texts."""
    column = rng.choice([b"-1", b"0", b"1", b"2", b"3", b"5"])
    texts = [bytes(rng.choice(b"abcXYZ\"<>&") for _ in range(rng.randint(0, 20)))
             for _ in range(5)]
    return b"\n".join([column] + texts) + b"\n"


def run(program, folder, page, param):
    """Runs |program| on |page| in |folder|: status, output and files."""
    os.makedirs(folder)
    with open(os.path.join(folder, "p.htm"), "wb") as f:
        f.write(page)
    with open(os.path.join(folder, "param.txt"), "wb") as f:
        f.write(param)
    done = subprocess.run([program, "p.htm", "-1"], cwd=folder, input=b"\n",
                          capture_output=True, timeout=120, check=False)
    files = {}
    for name in ("p.htm", "p.htm.orig"):
        path = os.path.join(folder, name)
        with open(path, "rb") as f:
            files[name] = f.read()
    return done.returncode, done.stdout, files


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    before = os.path.abspath(sys.argv[1])
    after = os.path.abspath(sys.argv[2])
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    work = tempfile.mkdtemp(prefix="brantix-compare-")
    with_cells = 0
    for i in range(count):
        rng = random.Random(seed * 1000003 + i)
        page, param = make_page(rng), make_param(rng)
        a = run(before, os.path.join(work, "before"), page, param)
        b = run(after, os.path.join(work, "after"), page, param)
        if a != b:
            sys.exit("page %d differs: see %s" % (i, work))
        if a[2]["p.htm"] != a[2]["p.htm.orig"]:
            with_cells += 1
        shutil.rmtree(os.path.join(work, "before"))
        shutil.rmtree(os.path.join(work, "after"))
    shutil.rmtree(work)
    print("%d pages, all the same (%d given new cells)" % (count, with_cells))


main()
