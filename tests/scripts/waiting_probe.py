#!/usr/bin/env python3
"""A test of the kind the script tests are, for the tests of an interrupt: it starts a process of its own
(in a session of its own, as the script tests start their runs, so that an interrupt of the test does not
reach it), writes the process's number into the file given, and waits in wait_for for what never happens.
Only its end (its tearDown, or its handling of the interrupt) ends that process. When it starts to end, it
makes FILE.ending; given "hold", it then waits for FILE.go to appear before it ends the process (at most
PATIENCE seconds), so that a test can interrupt it again while it ends.

    waiting_probe.py FILE [hold]
"""
import os
import sys
import time
import unittest

from script_runs import PATIENCE, ScriptRuns

FILE = None
HOLD = False


class WaitingProbe(ScriptRuns):
    def test_waits_for_what_never_happens(self):
        run, log = self.start(["sleep", str(PATIENCE * 4)])
        with open(FILE + ".part", "w") as f:
            f.write("%d\n" % run.pid)
        os.replace(FILE + ".part", FILE)
        self.wait_for("what never happens", lambda: False, run, log)

    def end_what_it_started(self):
        with open(FILE + ".ending", "w"):
            pass
        end = time.monotonic() + PATIENCE
        while HOLD and not os.path.exists(FILE + ".go") and time.monotonic() < end:
            time.sleep(0.1)
        super().end_what_it_started()


if __name__ == "__main__":
    FILE = sys.argv.pop(1)
    if len(sys.argv) > 1 and sys.argv[1] == "hold":
        HOLD = bool(sys.argv.pop(1))
    unittest.main()
