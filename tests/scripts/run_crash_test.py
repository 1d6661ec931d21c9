#!/usr/bin/env python3
"""The run command (inroot.sh run, what scripts/run.sh runs in the root) fails with a line of its own when
qirn.exe crashes: here a program that writes through a null pointer before anything else plays qirn.exe
(the runner's probe, in shell/ of a small build folder). The run's Wine log is kept in the build folder.

    run_crash_test.py runner_probe.exe
"""
import os
import re
import shutil
import sys
import unittest

import script_runs
from script_runs import INROOT, ScriptRuns

PROBE = None
# What the run says of a crash: Wine's line for an unhandled exception, or the translator's when the
# translated process ended by a signal, or the signal that ended the program's wine command.
CRASHED = re.compile(r"^qirn: qirn\.exe crashed: (wine: Unhandled |qemu: uncaught target signal |ended by signal )",
                     re.MULTILINE)
# What the line adds where 32-bit code is translated (the translator itself can crash a program as it exits).
TRANSLATOR = "(32-bit code is translated here: the translator may cause a crash as a program exits)"


class RunCrash(ScriptRuns):
    def test_a_crash_of_qirn_exe_fails_the_run_with_a_line_that_says_so(self):
        os.makedirs(os.path.join(self.build, "shell"))
        shutil.copy(PROBE, os.path.join(self.build, "shell", "qirn.exe"))
        # Far longer than its start takes: only its end ends the run.
        run, log = self.start([INROOT, "run", "crash"], QIRN_RUN_SECONDS=str(script_runs.PATIENCE // 2))
        text = self.wait_for("the run's end", lambda: run.poll() is not None, run, log)
        self.assertNotEqual(0, run.returncode, text)
        self.assertEqual(1, len(CRASHED.findall(text)), text)
        self.assertNotIn("ended before the screenshot", text)
        # The line points at the translator where the code is translated, and only there.
        line = re.search(r"^qirn: qirn\.exe crashed: .*$", text, re.MULTILINE).group(0)
        self.assertEqual(bool(os.environ.get("QIRN_EMULATED")), line.rstrip().endswith(TRANSLATOR), text)
        self.assertTrue(os.path.exists(os.path.join(self.build, "wine-run.log")), text)
        self.wait_until("the end of everything the run started", lambda: not self.marked(), 60)
        self.assertFalse(os.path.exists(self.run_dirs[0]), text)


if __name__ == "__main__":
    PROBE = sys.argv.pop(1)
    unittest.main()
