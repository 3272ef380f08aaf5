#!/usr/bin/env python3
"""Times one run of brantix in console dialogue mode.

    bench/dialogue.py BRANTIX PAGE COLUMN HEADING ICON1 ICON2 MAP LINK

Starts BRANTIX PAGE with pipes for standard input and output, waits for each
question to be printed before writing its answer and a line end, then
answers Enter to "Voulez vous continuer". The answers cannot all be written
at once: after each answer the program drops whatever else it has already
received. Prints the run's wall time, user time and system time, in
seconds, from the start of the program to its end; exits with 1 if the
program printed something unexpected or failed.
"""

import os
import select
import subprocess
import sys
import time

QUESTIONS = [
    "\nNumero de colonne : ",
    "\nTexte d'entete : ",
    "Nom icone 1: ",
    "Nom icone 2: ",
    "Nom de la MAP: ",
    "Nom Fichier pour le lien : ",
    "Voulez vous continuer [O|N] (Par defaut O):",
]

# No question should take longer than this to appear, even on a huge page.
PATIENCE_SECONDS = 3600


def wait_for(output, question, received):
    """Reads the program's output until |question| has been printed; returns
    what came after it."""
    wanted = question.encode("latin-1")
    deadline = time.monotonic() + PATIENCE_SECONDS
    while wanted not in received:
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([output], [], [], left)[0]:
            raise RuntimeError("no question %r after %d s" %
                               (question, PATIENCE_SECONDS))
        chunk = os.read(output, 65536)
        if not chunk:
            raise RuntimeError("the program ended before %r; it printed %r" %
                               (question, received))
        received += chunk
    return received[received.index(wanted) + len(wanted):]


def main():
    if len(sys.argv) != 9:
        sys.stderr.write(__doc__)
        return 2
    program, page = sys.argv[1], sys.argv[2]
    answers = sys.argv[3:9] + [""]  # six answers, then Enter

    start = time.perf_counter()
    child = subprocess.Popen([program, page], stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE)
    output = child.stdout.fileno()
    received = b""
    try:
        for question, answer in zip(QUESTIONS, answers):
            received = wait_for(output, question, received)
            child.stdin.write(answer.encode("latin-1") + b"\n")
            child.stdin.flush()
        child.stdin.close()
        while True:
            chunk = os.read(output, 65536)
            if not chunk:
                break
            received += chunk
    except (RuntimeError, OSError) as error:
        child.kill()
        child.wait()
        sys.stderr.write("bench/dialogue.py: %s\n" % error)
        return 1
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.stderr.write("bench/dialogue.py: the program ended with %d: %r\n" %
                         (child.returncode, received))
        return 1
    print("%.6f %.6f %.6f" % (wall, usage.ru_utime, usage.ru_stime))
    return 0


if __name__ == "__main__":
    sys.exit(main())
