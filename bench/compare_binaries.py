#!/usr/bin/env python3
"""Runs two brantix programs on the same random pages and compares them.

  bench/compare_binaries.py BEFORE AFTER [COUNT [SEED]]

For a change that must not change what the program writes: BEFORE is the
program built before it (for instance from a git worktree of the previous
commit), AFTER the one built with it. Each page is over 256 KiB, with lines
of 505 to 2000 bytes among short ones, lone CRs, NULs, table markers and
their halves, and LF, CR LF or mixed line ends; each run is "NAME -1" with
a random param.txt and Enter on standard input, or, for a quarter of the
pages, the same answers typed at the console, each once its question is
printed (on a pseudo-terminal; through pipes under a runner). The page's name has a
random length, from 1 to 250 bytes, sometimes in a subfolder (the link path
follows the name's length); a third of the pages have a second hard link,
so that the page is written in place. The new page, the backup, the second
link, the output and the exit status must be the same. COUNT pages (1000 by
default); stops at the first difference and keeps its folder. With
BRANTIX_RUNNER=wine, both are run under Wine (brantix.exe before and after).
"""
import os
import pty
import random
import select
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


NAME_BYTES = "abcdefghijklmnopqrstuvwxyz0123456789_."


def make_name(rng):
    """A random page name of 1 to 250 bytes, a fifth of them in a folder."""
    folder = "d/" if rng.random() < 0.2 else ""
    length = rng.randint(len(folder) + 1, 250)
    rest = length - len(folder)
    name = rng.choice(NAME_BYTES[:36]) + "".join(
        rng.choice(NAME_BYTES) for _ in range(rest - 1))
    # Windows drops a name's final dots: a name that ends with one is not
    # the same file there.
    if name.endswith("."):
        name = name[:-1] + "x"
    return folder + name


QUESTIONS = [b"\nNumero de colonne : ", b"\nTexte d'entete : ",
             b"Nom icone 1: ", b"Nom icone 2: ", b"Nom de la MAP: ",
             b"Nom Fichier pour le lien : ",
             b"Voulez vous continuer [O|N] (Par defaut O):"]


def talk(program, folder, name, param):
    """Runs |program| on |name| in |folder| with the six answers of |param|
    typed at the console, each once its question is printed, then Enter:
    on a pseudo-terminal natively, through pipes under a runner. Returns the
    status and everything printed (a terminal's echo included)."""
    if RUNNER:
        read_end, child_out = os.pipe()
        child_in, write_end = os.pipe()
    else:
        read_end, child_out = pty.openpty()
        child_in, write_end = child_out, read_end
    child = subprocess.Popen(RUNNER + [program, name], cwd=folder,
                             stdin=child_in, stdout=child_out,
                             stderr=subprocess.DEVNULL, start_new_session=True)
    os.close(child_out)
    if child_in != child_out:
        os.close(child_in)
    received, seen = b"", 0
    answers = param.split(b"\n")[:6] + [b""]
    for question, answer in zip(QUESTIONS, answers):
        while received.find(question, seen) < 0:
            ready = select.select([read_end], [], [], 60)[0]
            chunk = os.read(read_end, 65536) if ready else b""
            if not chunk:
                break
            received += chunk
        if received.find(question, seen) < 0:
            break
        seen = received.find(question, seen) + len(question)
        os.write(write_end, answer + (b"\n" if RUNNER else b"\r"))
    while True:
        try:
            chunk = os.read(read_end, 65536)
        except OSError:
            break
        if not chunk:
            break
        received += chunk
    status = child.wait(timeout=120)
    os.close(read_end)
    if write_end != read_end:
        os.close(write_end)
    return status, received


# A program that runs the two (BRANTIX_RUNNER=wine for brantix.exe): Wine
# gives CR LF where the program writes LF, the same for both.
RUNNER = os.environ.get("BRANTIX_RUNNER", "").split()


def run(program, folder, page, param, name, linked, dialogue=False):
    """Runs |program| on |page| named |name| in |folder|, with a second hard
    link when |linked|, the answers from param.txt or, with |dialogue|, typed
    at the console: status, output and files."""
    os.makedirs(os.path.join(folder, "d"))
    with open(os.path.join(folder, name), "wb") as f:
        f.write(page)
    if linked:
        os.link(os.path.join(folder, name), os.path.join(folder, "second"))
    with open(os.path.join(folder, "param.txt"), "wb") as f:
        f.write(param)
    if dialogue:
        status, output = talk(program, folder, name, param)
    else:
        done = subprocess.run(RUNNER + [program, name, "-1"], cwd=folder,
                              input=b"\n", capture_output=True, timeout=120,
                              check=False)
        status, output = done.returncode, done.stdout
    files = {}
    for path in (name, name + ".orig", "second" if linked else None):
        if path is not None:
            with open(os.path.join(folder, path), "rb") as f:
                files[path] = f.read()
    return status, output, files


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    before = os.path.abspath(sys.argv[1])
    after = os.path.abspath(sys.argv[2])
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    work = tempfile.mkdtemp(prefix="brantix-compare-")
    with_cells = linked_pages = in_folder = dialogues = 0
    for i in range(count):
        rng = random.Random(seed * 1000003 + i)
        page, param = make_page(rng), make_param(rng)
        name, linked = make_name(rng), rng.random() < 1 / 3
        dialogue = rng.random() < 1 / 4
        a = run(before, os.path.join(work, "before"), page, param, name,
                linked, dialogue)
        b = run(after, os.path.join(work, "after"), page, param, name, linked,
                dialogue)
        if a != b:
            sys.exit("page %d differs: see %s" % (i, work))
        if a[0] != 0:
            sys.exit("page %d: status %d: see %s" % (i, a[0], work))
        if a[2][name] != a[2][name + ".orig"]:
            with_cells += 1
        linked_pages += linked
        in_folder += name.startswith("d/")
        dialogues += dialogue
        shutil.rmtree(os.path.join(work, "before"))
        shutil.rmtree(os.path.join(work, "after"))
    shutil.rmtree(work)
    print("%d pages, all the same (%d given new cells, %d with a second "
          "hard link, %d in a subfolder, %d answered at the console)"
          % (count, with_cells, linked_pages, in_folder, dialogues))


main()
