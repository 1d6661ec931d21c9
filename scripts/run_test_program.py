#!/usr/bin/env python3
"""Runs one test program under Wine for ctest: its output passes through, and its exit status is ours.

The program writes into a pipe of ours rather than into ctest's. Wine's own processes (services.exe,
explorer.exe and the like) start with the first program that needs them, inherit its output, and live on
with the wine server while other tests run; had they inherited ctest's pipe, ctest would wait on the
test that started them until the whole run ended. We end as soon as the program ends.

A program that printed its test summary and was then ended by a signal (Wine's server kills a process whose
exit hangs) fails, and says so: its tests passed, its exit did not.

    run_test_program.py program.exe [arguments...]
"""
import os
import re
import subprocess
import sys
import threading

# GoogleTest's closing lines: "[  PASSED  ] 11 tests." or "[  FAILED  ] 2 tests, listed below:".
SUMMARY = re.compile(rb"^\[  (PASSED|FAILED)  \] \d+ tests?[.,]", re.MULTILINE)


class PassThrough:
    """Copies the program's output to ours and notes whether its test summary went by."""

    def __init__(self, fd):
        self.fd = fd
        self.summary = False
        self.tail = b""

    def run(self):
        out = sys.stdout.buffer
        while True:
            chunk = os.read(self.fd, 65536)
            if not chunk:
                return
            out.write(chunk)
            out.flush()
            # a summary line may arrive split over two reads
            text = self.tail + chunk
            if SUMMARY.search(text):
                self.summary = True
            self.tail = text[text.rfind(b"\n") + 1:][-4096:]


def main(argv):
    if len(argv) < 2:
        print("usage: run_test_program.py program.exe [arguments...]", file=sys.stderr)
        return 2
    proc = subprocess.Popen(["wine"] + argv[1:], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    output = PassThrough(proc.stdout.fileno())
    reader = threading.Thread(target=output.run, daemon=True)
    reader.start()
    status = proc.wait()
    # What the program wrote is in the pipe already; Wine's processes may keep the pipe open after it.
    reader.join(timeout=2)
    sys.stdout.flush()
    if status < 0:
        signal = -status
        when = "after its summary" if output.summary else "before its summary"
        print("run_test_program.py: %s ended by signal %d %s" % (os.path.basename(argv[1]), signal, when),
              flush=True)
        return 128 + signal
    return status


if __name__ == "__main__":
    code = main(sys.argv)
    sys.stdout.flush()
    sys.stderr.flush()
    # Not sys.exit: Wine's processes may still hold the pipe, and a line one of them writes during the
    # interpreter's shutdown would reach the reading thread while the streams close (Python then aborts).
    os._exit(code)
