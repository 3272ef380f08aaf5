#!/usr/bin/env python3
"""Takes the README's pictures: the sample page before and after brantix,
as headless Chromium shows it.

usage: docs/screenshots.py [--brantix PROGRAM] [--page PAGE --param PARAM]
                           [--window WIDTH,HEIGHT]

Without --brantix, the program is built first in build/docs. The page and
its parameters default to samples/liste.htm and samples/param.txt. The run
happens in a scratch folder; the icons the page and the new cells point to
are drawn there, so that the pictures show icons rather than broken images.
Writes docs/avant.png and docs/apres.png. Needs chromium and python3.
"""

import argparse
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path

DOCS = Path(__file__).resolve().parent
ROOT = DOCS.parent
sys.dont_write_bytecode = True  # No __pycache__ in the source tree.
sys.path.insert(0, str(ROOT / "tests" / "browser"))
import dom  # noqa: E402



def png(width, height, pixel):
    """A PNG image of |pixel|(x, y) -> (r, g, b)."""
    rows = b"".join(
        b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width))
        for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def icon(kind):
    """A 30 x 30 icon: a film frame, or a loudspeaker for sound names."""
    def film(x, y):
        if x < 4 or x > 25:
            return (40, 40, 40) if (y // 3) % 2 else (230, 230, 230)
        if 9 <= y <= 20 and x >= 10 and (x - 10) <= (y - 9) if y <= 14 \
                else 9 <= y <= 20 and x >= 10 and (x - 10) <= (20 - y):
            return (255, 255, 255)
        return (40, 90, 170)

    def speaker(x, y):
        body = 5 <= x <= 11 and 11 <= y <= 18
        cone = 11 < x <= 18 and abs(y - 14.5) <= (x - 11) * 0.9 + 3.5
        waves = x > 20 and ((x - 15) ** 2 + (y - 14.5) ** 2) ** 0.5 % 5 < 1.6 \
            and abs(y - 14.5) < (x - 15)
        return (255, 255, 255) if body or cone or waves else (30, 130, 70)
    return png(30, 30, speaker if kind == "son" else film)


def draw_icons(page, param_lines, root):
    """Draws the images the page and the new cells refer to, inside |root|."""
    names = set(re.findall(r'(?i)src="([^"]+)"', page.read_text(errors="replace")))
    names |= {"../" + n for n in param_lines[2:4]}
    for name in names:
        target = (page.parent / name).resolve()
        if root in target.parents and not target.exists():
            target.parent.mkdir(parents=True, exist_ok=True)
            lower = name.lower()
            kind = "son" if any(w in lower for w in (
                "son", "sound", "audio", "parleur")) else "film"
            target.write_bytes(icon(kind))


def build_brantix():
    build = ROOT / "build" / "docs"
    subprocess.run(["cmake", "--preset", "default", "-B", str(build),
                    "-DBUILD_TESTING=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build), "--target", "brantix",
                    "-j2"], check=True, stdout=subprocess.DEVNULL)
    return build / "brantix"


def screenshot(chromium, page, out, window):
    dom.run_chromium(chromium, ["--screenshot=" + str(out),
                                "--window-size=" + window,
                                "--force-device-scale-factor=1",
                                page.resolve().as_uri()])
    print("wrote", out.relative_to(ROOT))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--brantix")
    parser.add_argument("--page", default=str(ROOT / "samples" / "liste.htm"))
    parser.add_argument("--param", default=str(ROOT / "samples" / "param.txt"))
    parser.add_argument("--window", default="760,460",
                        help="size of the pictures (default %(default)s)")
    args = parser.parse_args()

    chromium = dom.find_chromium()
    if chromium is None:
        sys.exit("chromium not found: apt-get install chromium")
    program = Path(args.brantix).resolve() if args.brantix else build_brantix()
    source = Path(args.page)
    param_lines = Path(args.param).read_text(errors="replace").splitlines()

    with tempfile.TemporaryDirectory(prefix="brantix-docs-") as scratch:
        root = Path(scratch).resolve()
        folder = root / "pages"
        folder.mkdir()
        page = folder / source.name
        shutil.copyfile(source, page)
        shutil.copyfile(args.param, folder / "param.txt")
        draw_icons(page, param_lines, root)

        screenshot(chromium, page, DOCS / "avant.png", args.window)
        run = subprocess.run([str(program), page.name, "-1"], cwd=folder,
                             input=b"\n", stdout=subprocess.PIPE, check=False)
        if run.returncode != 0:
            sys.exit("brantix failed (%d): %s" % (run.returncode,
                                                  run.stdout.decode()))
        screenshot(chromium, page, DOCS / "apres.png", args.window)


if __name__ == "__main__":
    main()
