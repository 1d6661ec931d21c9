#!/usr/bin/env python3
"""Ctrl-C on the test command (SIGINT to its whole process group, as a terminal sends it) ends it quietly:
a run whose test runs (its lock holders holding the locks of its build folder's test runs and of its
run's folder) and a second run of the same build folder that waits for the first's lock both end without
a Python traceback, everything they started ends with them, and the first run's folder goes.

The runs are on a small build folder of their own, and the test command runs here as it does on the host
(see script_runs.py).

    interrupted_run_test.py
"""
import os
import signal
import unittest

from script_runs import PATIENCE, TEST_SH, ScriptRuns

# How long an interrupted run may take to stop what it started (its wine server first) and end.
ENDS_WITHIN = 120


class InterruptedRun(ScriptRuns):
    def test_ctrl_c_ends_a_running_and_a_waiting_test_command_without_a_traceback(self):
        outside = self.this_root()
        self.probe("exec sleep %d" % (PATIENCE * 4))
        first, first_log = self.start([TEST_SH], **outside)
        started = os.path.join(self.source, "started")
        self.wait_for("the first run's test start", lambda: os.path.exists(started), first, first_log)
        run_dir = self.run_dirs[0]
        second, second_log = self.start([TEST_SH], **outside)
        self.wait_until("the second run's wait for the first",
                        lambda: "qirn: waiting for another test run" in self.read(second_log)
                        or second.poll() is not None, PATIENCE)
        self.assertIsNone(second.poll(), self.read(second_log))

        for run in (second, first):
            os.killpg(run.pid, signal.SIGINT)
        for run, log in ((first, first_log), (second, second_log)):
            self.wait_until("the interrupted run's end", lambda: run.poll() is not None, ENDS_WITHIN)
            text = self.read(log)
            self.assertNotEqual(0, run.returncode, text)
            self.assertNotIn("Traceback", text)
        self.wait_until("the end of everything the runs started", lambda: not self.marked(), ENDS_WITHIN)
        self.assertFalse(os.path.exists(run_dir), run_dir)
        self.assertFalse(os.path.exists(run_dir + ".lock"), run_dir)


if __name__ == "__main__":
    unittest.main()
