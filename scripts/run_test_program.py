#!/usr/bin/env python3
"""Runs one test program under Wine for ctest and passes its output and exit status through.

Under translated 32-bit code (scripts/buildroot.sh run32) a Wine process now and then never ends after
its main returned: the program has printed GoogleTest's closing summary, and the process then hangs in
Wine's and the translator's teardown. Such a program is stopped once it has been silent for a while
after the summary, and its status is read from the summary instead: 0 when no test failed, 1 otherwise.
Everything else (a hang inside a test, a crash) reaches ctest as it happened.

    run_test_program.py program.exe [arguments...]
"""
import os
import signal
import subprocess
import sys
import threading
import time

# Seconds a program may take to end after its summary; QIRN_EXIT_GRACE overrides.
GRACE = float(os.environ.get("QIRN_EXIT_GRACE", "60"))


class Summary:
    """What the program printed of GoogleTest's closing lines."""

    def __init__(self):
        self.lock = threading.Lock()
        self.finished_at = None  # when "[==========] ... ran." came
        self.failed = False
        self.last_output = time.monotonic()

    def see(self, line):
        with self.lock:
            self.last_output = time.monotonic()
            if line.startswith(b"[==========] ") and b" ran." in line:
                self.finished_at = self.last_output
            elif line.startswith(b"[  FAILED  ]") and self.finished_at is not None:
                self.failed = True

    def hung_after_summary(self, now):
        with self.lock:
            return self.finished_at is not None and now - self.last_output > GRACE


def pass_through(stream, summary):
    out = sys.stdout.buffer
    for line in iter(stream.readline, b""):
        out.write(line)
        out.flush()
        summary.see(line)


def main(argv):
    if len(argv) < 2:
        print("usage: run_test_program.py program.exe [arguments...]", file=sys.stderr)
        return 2
    proc = subprocess.Popen(["wine"] + argv[1:], stdout=subprocess.PIPE)
    summary = Summary()
    reader = threading.Thread(target=pass_through, args=(proc.stdout, summary), daemon=True)
    reader.start()
    while True:
        try:
            status = proc.wait(timeout=1)
            # The output may still be in the pipe; a process the program left behind may hold it open.
            reader.join(timeout=10)
            return status
        except subprocess.TimeoutExpired:
            pass
        if summary.hung_after_summary(time.monotonic()):
            proc.send_signal(signal.SIGKILL)
            proc.wait()
            reader.join(timeout=10)
            status = 1 if summary.failed else 0
            print(f"run_test_program: {os.path.basename(argv[1])} printed its summary but did not end within "
                  f"{GRACE:.0f} s; stopped, status {status} from its summary", file=sys.stderr)
            return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
