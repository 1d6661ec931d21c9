#!/usr/bin/env python3
"""Runs one test program under Wine for ctest: its output passes through, and its exit status is ours.

The program writes into a pipe of ours rather than into ctest's. Wine's own processes (services.exe,
explorer.exe and the like) start with the first program that needs them, inherit its output, and live on
with the wine server while other tests run; had they inherited ctest's pipe, ctest would wait on the
test that started them until the whole run ended. We end as soon as the program ends.

    run_test_program.py program.exe [arguments...]
"""
import os
import subprocess
import sys
import threading


def pass_through(fd):
    out = sys.stdout.buffer
    while True:
        chunk = os.read(fd, 65536)
        if not chunk:
            return
        out.write(chunk)
        out.flush()


def main(argv):
    if len(argv) < 2:
        print("usage: run_test_program.py program.exe [arguments...]", file=sys.stderr)
        return 2
    proc = subprocess.Popen(["wine"] + argv[1:], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    reader = threading.Thread(target=pass_through, args=(proc.stdout.fileno(),), daemon=True)
    reader.start()
    status = proc.wait()
    # What the program wrote is in the pipe already; Wine's processes may keep the pipe open after it.
    reader.join(timeout=2)
    sys.stdout.flush()
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
