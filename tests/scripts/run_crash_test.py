#!/usr/bin/env python3
"""The run command (inroot.sh run, what scripts/run.sh runs in the root) fails with a line of its own when
qirn.exe crashes, whichever way Wine reports the crash: here the runner's probe plays qirn.exe (in shell/ of
a small build folder), writing through a null pointer, or raising the exception of Wine's own failed
assertions, before anything else. The line gives what Wine said; Wine's report of the crash itself goes to
the run's Wine log, which is kept in the build folder, and not to the run's output.

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
# What the run says of a crash: Wine's line (an exception that went unhandled, an assertion: Wine starts
# its debugger for both), or the translator's when the translated process ended by a signal, or the
# signal that ended the program's wine command.
CRASHED = re.compile(r"^qirn: qirn\.exe crashed: (wine: .*, starting debugger\.\.\.|qemu: uncaught target signal |"
                     r"ended by signal )", re.MULTILINE)
# What Wine says of each crash, where it handles the crash itself (where 32-bit code is translated, the
# write through a null pointer has been reported as an unhandled illegal instruction).
WINE_SAYS = {"crash": "wine: Unhandled ", "assert": "wine: Assertion failed at address "}
# What the line adds where 32-bit code is translated (the translator itself can crash a program as it exits).
TRANSLATOR = "(32-bit code is translated here: the translator may cause a crash as a program exits)"


class RunCrash(ScriptRuns):
    def test_a_crash_of_qirn_exe_fails_the_run_with_a_line_that_says_so(self):
        os.makedirs(os.path.join(self.build, "shell"))
        shutil.copy(PROBE, os.path.join(self.build, "shell", "qirn.exe"))
        for mode, says in WINE_SAYS.items():
            with self.subTest(mode=mode):
                # Far longer than its start takes: only its end ends the run.
                run, log = self.start([INROOT, "run", mode], QIRN_RUN_SECONDS=str(script_runs.PATIENCE // 2))
                text = self.wait_for("the run's end", lambda: run.poll() is not None, run, log)
                self.assertNotEqual(0, run.returncode, text)
                self.assertEqual(1, len(CRASHED.findall(text)), text)
                self.assertNotIn("ended before the screenshot", text)
                line = re.search(r"^qirn: qirn\.exe crashed: .*$", text, re.MULTILINE).group(0)
                # Wine's own lines are in its log alone.
                self.assertEqual([], re.findall(r"(?m)^wine: .*", text), text)
                if "wine: " in line:
                    self.assertIn(says, line)
                    with open(os.path.join(self.build, "wine-run.log"), errors="replace") as f:
                        self.assertIn(says, f.read(), text)
                # The line points at the translator where the code is translated, and only there.
                self.assertEqual(bool(os.environ.get("QIRN_EMULATED")), line.rstrip().endswith(TRANSLATOR), text)
                self.wait_until("the end of everything the run started", lambda: not self.marked(), 60)
                self.assertFalse(os.path.exists(self.run_dirs[-1]), text)


if __name__ == "__main__":
    PROBE = sys.argv.pop(1)
    unittest.main()
