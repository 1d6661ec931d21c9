#!/usr/bin/env python3
"""A run or build killed with SIGKILL (the OOM killer, a CI time limit, kill -9, a closed terminal) never
stalls the next one and leaves nothing behind:

- a test run's script (inroot.sh test) killed once its test runs: the next run starts without waiting,
  ends what the killed run left running (its Xvfb, its sound server, its tests, and what those start as
  they are ended) and removes its folder;
- the test command itself (scripts/test.sh, killed from outside the root) once its test runs: everything
  it started ends with it, at once; the next test command starts without waiting, passes, and removes what
  the killed one left (its folder, its display's socket);
- the test command killed while its build runs a compiler: the compiler ends with it;
- the benchmark command (scripts/bench.sh) killed while its run builds: the run ends with it, and no file
  of its own is left behind;
- a build's script (inroot.sh build) killed while its compiler runs: the next build of its folder starts
  without waiting and ends that compiler, while a build of another folder goes on.

The runs are on small build folders of their own (see script_runs.py). The test and benchmark commands run
here as they do on the host (see ScriptRuns.this_root).

    killed_run_test.py
"""
import os
import re
import signal
import unittest

from script_runs import BENCH_SH, INROOT, PATIENCE, TEST_SH, ScriptRuns, alive, nobody_listens

# How long what a killed command started may take to end with it: the kernel ends it at once.
ENDS_WITH_IT = 60


class KilledRun(ScriptRuns):
    def test_a_run_killed_with_sigkill_leaves_nothing_that_stalls_the_next(self):
        # The first run's test waits until it is killed, and starts another process as it is asked to end
        # (as a Wine program does that finds its server gone: it starts a server of its own).
        self.probe("trap 'sleep %d & exit 0' TERM\nsleep %d &\nwait" % (PATIENCE * 4, PATIENCE * 4))
        first, log = self.start([INROOT, "test"])
        started = os.path.join(self.source, "started")
        text = self.wait_for("the first run's test start", lambda: os.path.exists(started), first, log)
        self.assertIn("qirn: Xvfb on display", text)
        self.assertIn("qirn: sound server: a null sink", text)
        run_dir = self.run_dirs[0]

        os.kill(first.pid, signal.SIGKILL)
        first.wait()
        self.wait_for_locks_of(first.pid)
        os.remove(started)
        # The second run's test leaves a process of the run that is not one of its tests' (as Wine's own
        # processes are not: a driver host that was starting as the run's wine server ended).
        self.probe("env -u QIRN_PROGRAM_OF sleep %d </dev/null >/dev/null 2>&1 &" % (PATIENCE * 4))
        second, log = self.start([INROOT, "test"])
        text = self.wait_for("the second run's end", lambda: second.poll() is not None, second, log)
        self.assertEqual(0, second.returncode, text)
        self.assertTrue(os.path.exists(started), text)
        self.assertFalse(os.path.exists(run_dir), run_dir)
        self.assertFalse(os.path.exists(run_dir + ".lock"), run_dir)
        self.wait_until("the end of everything the runs started", lambda: not self.marked(), ENDS_WITH_IT)
        # Nor does the second run leave anything behind.
        self.assertEqual(2, len(self.run_dirs), text)
        self.assertFalse(os.path.exists(self.run_dirs[1]), text)

    def test_the_test_command_killed_from_outside_takes_its_run_along(self):
        outside = self.this_root()
        self.probe("exec sleep %d" % (PATIENCE * 4))
        first, log = self.start([TEST_SH], **outside)
        started = os.path.join(self.source, "started")
        text = self.wait_for("the first run's test start", lambda: os.path.exists(started), first, log)
        display = re.search(r"qirn: Xvfb on display :(\d+)", text).group(1)
        self.assertIn("qirn: sound server: a null sink", text)
        run_dir = self.run_dirs[0]
        self.assertTrue(any(name == "Xvfb" for name in self.marked().values()), self.marked())

        os.kill(first.pid, signal.SIGKILL)
        first.wait()
        self.wait_until("the end of everything the killed command started", lambda: not self.marked(),
                        ENDS_WITH_IT)

        os.remove(started)
        self.probe("exit 0")
        second, log = self.start([TEST_SH], **outside)
        text = self.wait_for("the second run's end", lambda: second.poll() is not None, second, log)
        self.assertEqual(0, second.returncode, text)
        self.assertTrue(os.path.exists(started), text)
        self.assertFalse(os.path.exists(run_dir), run_dir)
        self.assertFalse(os.path.exists(run_dir + ".lock"), run_dir)
        # The killed display server's socket is gone (or another server's since).
        socket_path = "/tmp/.X11-unix/X" + display
        self.assertFalse(os.path.exists(socket_path) and nobody_listens(socket_path), socket_path)
        self.wait_until("the end of everything the runs started", lambda: not self.marked(), ENDS_WITH_IT)
        self.assertEqual(2, len(self.run_dirs), text)
        self.assertFalse(os.path.exists(self.run_dirs[1]), text)

    def test_the_test_command_killed_while_it_builds_takes_its_compilers_along(self):
        outside = self.this_root()
        self.compile_step("exec sleep %d" % (PATIENCE * 4))
        first, log = self.start([TEST_SH], **outside)
        self.wait_for("the build step's start", lambda: self.compiler_of(self.build), first, log)
        # (Its number there is the one in the namespace of the command's run.)
        self.assertIn("sleep", self.marked().values())

        os.kill(first.pid, signal.SIGKILL)
        first.wait()
        self.wait_until("the end of everything the killed command started", lambda: not self.marked(),
                        ENDS_WITH_IT)

    def test_the_bench_command_killed_leaves_nothing_behind(self):
        outside = self.this_root()
        # Where the command makes its files (mktemp's folder), empty unless it leaves one there.
        outside["TMPDIR"] = os.path.join(self.work, "tmp")
        os.mkdir(outside["TMPDIR"])
        # The command's first build passes; the build of its run (after it has set up for the run's output)
        # waits until it is killed.
        self.compile_step('if [ -e "$1/built" ]; then touch "$1/again"; exec sleep %d; fi\ntouch "$1/built"'
                          % (PATIENCE * 4))
        first, log = self.start([BENCH_SH], **outside)
        self.wait_for("the run's build step", lambda: os.path.exists(os.path.join(self.build, "again")),
                      first, log)

        os.kill(first.pid, signal.SIGKILL)
        first.wait()
        self.wait_until("the end of everything the killed command started", lambda: not self.marked(),
                        ENDS_WITH_IT)
        self.assertEqual([], os.listdir(outside["TMPDIR"]))

    def test_a_build_killed_with_sigkill_leaves_no_compiler_that_stalls_the_next(self):
        self.compile_step("exec sleep %d" % (PATIENCE * 4))
        # Another folder's build, alive all along.
        other = os.path.join(self.work, "other")
        self.configure(other)
        other_run, other_log = self.start([INROOT, "build"], QIRN_BUILD=other)
        self.wait_for("the other build step's start", lambda: self.compiler_of(other), other_run, other_log)
        other_compiler = self.compiler_of(other)

        first, log = self.start([INROOT, "build"])
        self.wait_for("the build step's start", lambda: self.compiler_of(self.build), first, log)
        compiler = self.compiler_of(self.build)
        os.kill(first.pid, signal.SIGKILL)
        first.wait()
        self.wait_for_locks_of(first.pid)

        os.remove(os.path.join(self.build, "compiling"))
        self.compile_step("exit 0")
        second, log = self.start([INROOT, "build"])
        text = self.wait_for("the next build's end", lambda: second.poll() is not None, second, log)
        self.assertEqual(0, second.returncode, text)
        self.assertIsNotNone(self.compiler_of(self.build), text)
        self.assertFalse(alive(compiler), text)
        # The other folder's build is not touched.
        self.assertTrue(alive(other_compiler), text)
        self.assertIsNone(other_run.poll(), text)


if __name__ == "__main__":
    unittest.main()
