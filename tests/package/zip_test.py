#!/usr/bin/env python3
"""Builds the Windows zip from this (MinGW-w64) build tree, checks that it
holds brantix.exe, the README and its two pictures in one top folder, unpacks it and runs the
unpacked brantix.exe under Wine on each page in parameter-file mode,
comparing the result byte for byte with the expected page.

usage: zip_test.py CPACK BUILD_DIR SOURCE_DIR VERSION PAGE PARAM EXPECTED...
"""

import glob
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

CONFIRM = b"Voulez vous continuer [O|N] (Par defaut O):"


def main(argv):
    if len(argv) < 8 or (len(argv) - 5) % 3:
        print(__doc__, file=sys.stderr)
        return 2
    cpack, build, source, version = argv[1:5]
    top = "brantix-%s-win64/" % version
    failures = []
    with tempfile.TemporaryDirectory(prefix="brantix-zip-") as work:
        work = Path(work)
        done = subprocess.run(
            [cpack, "--config", str(Path(build) / "CPackConfig.cmake"),
             "-G", "ZIP", "-B", str(work / "out")],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
        archives = glob.glob(str(work / "out" / "*.zip"))
        if done.returncode != 0 or len(archives) != 1:
            print(done.stdout.decode(errors="replace"), file=sys.stderr)
            print("FAILED: cpack -G ZIP", file=sys.stderr)
            return 1
        with zipfile.ZipFile(archives[0]) as archive:
            names = sorted(n for n in archive.namelist() if not n.endswith("/"))
            archive.extractall(work / "unpacked")
        # What the README says the zip holds, and nothing else.
        wanted = {top + "brantix.exe", top + "README.md",
                  top + "docs/avant.png", top + "docs/apres.png"}
        if set(names) != wanted:
            failures.append("zip holds %s, not %s" % (names, sorted(wanted)))
        if top + "README.md" in names and (
                (work / "unpacked" / top / "README.md").read_bytes() !=
                (Path(source) / "README.md").read_bytes()):
            failures.append("README.md in the zip differs from the source")

        exe = work / "unpacked" / top / "brantix.exe"
        env = dict(os.environ, WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        rest = argv[5:]
        for n, (page, param, expected) in enumerate(zip(rest[::3], rest[1::3],
                                                        rest[2::3])):
            folder = work / ("run%d" % n)
            folder.mkdir()
            name = Path(page).name
            shutil.copyfile(page, folder / name)
            shutil.copyfile(param, folder / "param.txt")
            run = subprocess.run(["wine", str(exe), name, "-1"], cwd=folder,
                                 input=b"\n", stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, env=env, timeout=240,
                                 check=False)
            if run.returncode != 0 or run.stdout != CONFIRM:
                failures.append("%s: status %d, output %r" % (
                    name, run.returncode, run.stdout))
            elif (folder / name).read_bytes() != Path(expected).read_bytes():
                failures.append("%s differs from %s" % (name, expected))
            else:
                print("%s: as expected" % name)
    for f in failures:
        print("FAILED: " + f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
