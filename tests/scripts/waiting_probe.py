#!/usr/bin/env python3
"""A test of the kind the script tests are, for the tests of an interrupt: it starts a process of its own
(in a session of its own, as the script tests start their runs, so that an interrupt of the test does not
reach it), writes the process's number into the file given, and waits in wait_for for what never happens.
Only its tearDown ends that process.

    waiting_probe.py FILE
"""
import os
import sys
import unittest

from script_runs import PATIENCE, ScriptRuns

FILE = None


class WaitingProbe(ScriptRuns):
    def test_waits_for_what_never_happens(self):
        run, log = self.start(["sleep", str(PATIENCE * 4)])
        with open(FILE + ".part", "w") as f:
            f.write("%d\n" % run.pid)
        os.replace(FILE + ".part", FILE)
        self.wait_for("what never happens", lambda: False, run, log)


if __name__ == "__main__":
    FILE = sys.argv.pop(1)
    unittest.main()
