#!/usr/bin/env python3
"""The test runner judges a program by its tests' result: a program that reports a failed test but exits
0, one ended mid-test with status 0, one whose filter picked no test, and one that passes but reports a
crash or a device left alive after its result fail through it, with a line that says why; one that
passes passes.

    run_test_program_test.py runner_probe.exe
"""
import os
import signal
import subprocess
import sys
import unittest

RUNNER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "run_test_program.py")
PROBE = None


def run(*arguments):
    done = subprocess.run([sys.executable, RUNNER, PROBE, "--gtest_color=no"] + list(arguments),
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
    return done.returncode, done.stdout.decode(errors="replace")


class RunTestProgram(unittest.TestCase):
    def test_a_program_passes_only_when_its_result_says_so(self):
        cases = [
            ("pass", None),
            ("fail-exit-0", "exited with status 0 but its result records 1 failed: RunnerProbe.EndsAsItsModeSays"),
            ("killed", "exited with status 0 before its summary but wrote no result file"),
            ("crash-after-result", "passed its tests, but its output after its result reports an unhandled "
             "exception: wine: Unhandled page fault on write access to 01EAFEF8 at address 78171EB8"),
            ("device-after-result", "passed its tests, but its output after its result reports a Direct3D "
             "device left alive: A Direct3D command thread still runs at the end"),
        ]
        for mode, reason in cases:
            with self.subTest(mode=mode):
                status, output = run(mode)
                if reason is None:
                    self.assertEqual(0, status, output)
                    self.assertIn("[  PASSED  ] 1 test.", output)
                    self.assertNotIn("run_test_program.py:", output)
                else:
                    self.assertNotEqual(0, status, output)
                    self.assertIn("run_test_program.py: runner_probe.exe " + reason, output)

    def test_a_filter_that_picks_no_test_fails(self):
        status, output = run("--gtest_filter=NoSuchTest.*", "pass")
        self.assertNotEqual(0, status, output)
        self.assertIn("run_test_program.py: runner_probe.exe ran no tests", output)


if __name__ == "__main__":
    # Nothing to undo: an interrupt ends it at once, without a word. The runner it runs, interrupted too,
    # ends what it started itself.
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    PROBE = sys.argv.pop(1)
    unittest.main()
