#!/usr/bin/env python3
"""Rewrites pages with the real brantix, opens them before and after in
headless Chromium and checks the parsed documents: every row has one cell
more, and the heading, icons, maps and links are in the new cells.

usage: browser_test.py BRANTIX [--html] PAGE PARAM [PAGE PARAM ...]

With --html, each page is rewritten with that option.

The pages named in EXACT below are also held to the exact placement they
were written for. Set BRANTIX_SKIP_BROWSER=1 to skip (status 77) on a
machine without Chromium; without it a missing browser is a failure.
"""

import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.dont_write_bytecode = True  # No __pycache__ in the source tree.
sys.path.insert(0, str(Path(__file__).resolve().parent))
import dom  # noqa: E402

CONFIRM = "Voulez vous continuer [O|N] (Par defaut O):"

# Where the new cells of two known pages must land, with their parameters.
EXACT = {
    # tests/browser/pages/clips.htm: the new cell is the third of every row;
    # rows 2, 4 and 5 get maps 1, 2 and 3, row 3 a dash (its sound icon
    # comes after the second cell). Row 4 has no link path of its own and
    # reuses the one of row 2, line end included; the path of row 5 is cut
    # after 9 + 23 characters, 9 being len("clips.htm").
    "clips.htm": {
        "index": 2,
        "kinds": ["heading", "map", "dash", "map", "map"],
        "hrefs": ["..///sons/\nlien.htm", "..///sons/\nlien.htm",
                  "..///videos/2024/clips/longs/ficlien.htm"],
    },
    # samples/liste.htm: after the performer; Brel's sound icon is in the
    # third cell, so his row gets a dash but gives its link path to the
    # last row.
    "liste.htm": {
        "index": 2,
        "kinds": ["heading", "map", "dash", "map", "dash", "map"],
        "hrefs": ["..///extraits/chanson_francaise/ecoute.htm",
                  "..///extraits/chanson_francaise/ecoute.htm",
                  "..///extraits/variete_francaise/ecoute.htm"],
    },
    # tests/browser/pages/majuscules.htm, with --html: rows written <TR>,
    # <tr class=...>, cells closed by </TH> and </TD>, the icon SON.GIF,
    # all read as the browser reads them.
    "majuscules.htm": {
        "index": 1,
        "kinds": ["heading", "map", "dash"],
        "hrefs": ["..///extraits/mer/\nlien.htm"],
    },
}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def read_param(path):
    raw = Path(path).read_bytes()
    lines = raw.decode("latin-1").splitlines()
    check(len(lines) >= 6, "%s: six lines expected" % path)
    digits = ""
    for c in lines[0].lstrip(" \t"):
        if c.isdigit() or (not digits and c in "+-"):
            digits += c
        else:
            break
    return {
        "column": int(digits) if digits.strip("+-") else 0,
        "heading": lines[1], "icon1": lines[2], "icon2": lines[3],
        "map": lines[4], "link_file": lines[5],
        # The page decides how the heading's bytes read: as UTF-8 or as
        # Windows-1252, the browser's default.
        "headings": {" ".join(raw.splitlines()[1].decode(c, "replace").split())
                    for c in ("utf-8", "cp1252")},
    }


def rows_of(document):
    tables = list(document.elements("table"))
    check(tables, "no table in the document")
    return tables, list(document.elements("tr"))


def cells_of(row):
    return row.child_elements("td", "th")


def inserted_index(before, after):
    """Positions at which removing one cell of |after| gives |before|."""
    old = [c.serialize() for c in before]
    new = [c.serialize() for c in after]
    return [k for k in range(len(new)) if new[:k] + new[k + 1:] == old]


def outside_tables(document):
    """The body with every table replaced by a placeholder."""
    body = next(document.elements("body"))

    def walk(node):
        out = []
        for child in node.children:
            if isinstance(child, dom.Node):
                out.append("<table/>" if child.tag == "table"
                           else "<%s>%s</%s>" % (child.tag, walk(child), child.tag))
            else:
                out.append(child)
        return "".join(out)
    return walk(body)


def check_heading(cell, param):
    check(cell.text() in param["headings"],
          "heading cell reads %r, expected %r" % (cell.text(), param["heading"]))
    check(not list(cell.elements("img")), "heading cell holds an image")
    centers = list(cell.elements("center"))
    check(len(centers) == 1 and {"strong", "em", "font"} <=
          {a.tag for a in centers[0].ancestors()},
          "heading text is not inside font/strong/em/center")


def check_dash(cell):
    check(cell.text() == "-", "dash cell reads %r" % cell.text())
    check(not list(cell.elements("img")) and not list(cell.elements("map")),
          "dash cell holds an image or a map")


def check_map_cell(cell, param, number, href=None):
    name = "%s%d" % (param["map"], number)
    imgs = list(cell.elements("img"))
    check(len(imgs) == 2, "map cell %s: %d images" % (name, len(imgs)))
    for img, icon, alt in ((imgs[0], param["icon1"], "Video"),
                           (imgs[1], param["icon2"], "Sound")):
        check(img.attrs.get("src") == "../" + icon,
              "map cell %s: src %r" % (name, img.attrs.get("src")))
        check(img.attrs.get("usemap") == "#" + name,
              "map cell %s: usemap %r" % (name, img.attrs.get("usemap")))
        check(img.attrs.get("alt") == alt,
              "map cell %s: alt %r" % (name, img.attrs.get("alt")))
        check(any(a.tag == "font" for a in img.ancestors()),
              "map cell %s: icon outside the font element" % name)
    maps = list(cell.elements("map"))
    check(len(maps) == 1 and maps[0].attrs.get("name") == name,
          "map cell %s: maps %r" % (name, [m.attrs for m in maps]))
    areas = list(maps[0].elements("area"))
    check(len(areas) == 1, "map %s: %d areas" % (name, len(areas)))
    area = areas[0].attrs
    check(area.get("shape") == "rect" and area.get("coords") == "0,0,30,30",
          "map %s: area shape/coords %r" % (name, area))
    check(area.get("alt") == param["map"], "map %s: area alt %r" % (name, area))
    got = area.get("href", "")
    if href is not None:
        check(got == href, "map %s: href %r, expected %r" % (name, got, href))
    else:
        check(got.endswith(param["link_file"]) and
              (got == param["link_file"] or got.startswith("..///")),
              "map %s: href %r" % (name, got))


def check_page(program, chromium, page, param_file, work, options):
    name = Path(page).name
    folder = Path(work) / Path(page).stem / "pages"
    folder.mkdir(parents=True)
    shutil.copyfile(page, folder / name)
    shutil.copyfile(page, folder / ("avant-" + name))
    shutil.copyfile(param_file, folder / "param.txt")
    run = subprocess.run([program, name, "-1"] + options, cwd=folder,
                         input=b"\n",
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         timeout=60, check=False)
    check(run.returncode == 0 and run.stdout.decode() == CONFIRM,
          "brantix ended with %d: %r" % (run.returncode, run.stdout))

    param = read_param(param_file)
    before = dom.load(chromium, folder / ("avant-" + name))
    after = dom.load(chromium, folder / name)
    tables_before, rows_before = rows_of(before)
    tables_after, rows_after = rows_of(after)
    check(len(tables_after) == len(tables_before), "tables: %d before, %d after"
          % (len(tables_before), len(tables_after)))
    check(len(rows_after) == len(rows_before), "rows: %d before, %d after"
          % (len(rows_before), len(rows_after)))
    check(outside_tables(after) == outside_tables(before),
          "the page changed outside its tables")
    check(len(rows_after) >= 2, "the page needs a heading row and a data row")

    exact = EXACT.get(name)
    kinds, hrefs, maps = [], [], 0
    for i, (old, new) in enumerate(zip(rows_before, rows_after)):
        old_cells, new_cells = cells_of(old), cells_of(new)
        where = "row %d" % (i + 1)
        check(len(new_cells) == len(old_cells) + 1, "%s: %d cells before, %d after"
              % (where, len(old_cells), len(new_cells)))
        # The old cells must come out as they were: an element the new cell
        # left open (its font) would have swallowed the cells after it.
        found = inserted_index(old_cells, new_cells)
        check(found, "%s: the old cells are not all kept in order" % where)
        if exact:
            check(exact["index"] in found, "%s: new cell not at index %d (%s)"
                  % (where, exact["index"], found))
            k = exact["index"]
        else:
            k = found[0]
        cell = new_cells[k]
        try:
            if i == 0:
                check_heading(cell, param)
                kinds.append("heading")
            elif list(cell.elements("img")):
                maps += 1
                href = exact["hrefs"][maps - 1] if exact else None
                check_map_cell(cell, param, maps, href)
                kinds.append("map")
            else:
                check_dash(cell)
                kinds.append("dash")
        except Failure as f:
            raise Failure("%s: %s" % (where, f))
    if exact:
        check(kinds == exact["kinds"], "cells %s, expected %s"
              % (kinds, exact["kinds"]))
    check(len(list(after.elements("map"))) ==
          len(list(before.elements("map"))) + maps, "maps outside the new cells")
    print("%s: %d rows, new cells %s" % (name, len(rows_after), kinds))


def main(argv):
    options = argv[2:3] if argv[2:3] == ["--html"] else []
    argv = argv[:2] + argv[2 + len(options):]
    if len(argv) < 4 or len(argv) % 2:
        print(__doc__, file=sys.stderr)
        return 2
    chromium = dom.find_chromium()
    if chromium is None:
        if os.environ.get("BRANTIX_SKIP_BROWSER") == "1":
            print("SKIPPED: no Chromium (BRANTIX_SKIP_BROWSER=1)")
            return 77
        print("FAILED: Chromium not found; install it (apt-get install "
              "chromium) or set BRANTIX_CHROMIUM", file=sys.stderr)
        return 1
    program = str(Path(argv[1]).resolve())
    with tempfile.TemporaryDirectory(prefix="brantix-browser-") as work:
        try:
            for page, param in zip(argv[2::2], argv[3::2]):
                check_page(program, chromium, page, param, work, options)
        except Failure as f:
            print("FAILED: %s" % f, file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
