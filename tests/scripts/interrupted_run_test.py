#!/usr/bin/env python3
"""Ctrl-C (SIGINT to the whole process group, as a terminal sends it) ends what it reaches quietly:

- the test command, while a test of the scripts' kind runs in it (its lock holders holding the locks of its
  build folder's test runs and of its run's folder), and two more runs of the same build folder that wait
  for the first's lock, one of them interrupted through its lock holder first: all end with status 130 and
  say nothing more (no Python traceback, no line that blames a lock), everything they started ends with
  them, and the first run's folder goes;
- the test command whose test is slow to end: the run waits for it, and holds its folder and the folder's
  lock meanwhile (no other run takes it for a dead one), then ends with status 130 and its folder goes;
- Ctrl-C typed twice, 50 ms apart, and once more while the test command stops: the run still gives its
  test the time to end, then ends with status 130 and leaves nothing (its folder, the folder's lock, its
  wine server's folder);
- a test of the scripts' kind itself: it ends what it started (a process in a session of its own, which
  the interrupt does not reach) and its folder, then ends by the interrupt without a traceback, also when
  interrupted again while it does;
- the run command (inroot.sh run, what scripts/run.sh runs in the root) while its program runs (the
  runner's probe plays qirn.exe, waiting), twice: it ends with status 130 and says nothing more, and
  nothing of it is left;
- a build (inroot.sh build) while it compiles: it ends with status 130 and says nothing more (nor does
  ninja), and its compiler ends with it.

The runs are on a small build folder of their own, and the test command runs here as it does on the host
(see script_runs.py). The test of the scripts' kind is waiting_probe.py.

    interrupted_run_test.py runner_probe.exe
"""
import fcntl
import os
import shutil
import signal
import sys
import time
import unittest

from script_runs import INROOT, PATIENCE, TEST_SH, ScriptRuns, alive

PROBE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "waiting_probe.py")
RUNNER_PROBE = None
# How long an interrupted run may take to stop what it started (its wine server first) and end.
ENDS_WITHIN = 120


def command_of(pid):
    """A process's arguments, or None when it is gone."""
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().decode(errors="replace").split("\0")[:-1]
    except OSError:
        return None


def wine_server_folder(prefix):
    """The folder of a Wine prefix's server: named after the prefix's device and inode, in the folder that
    the prefix's "wineserver" file names (under /tmp)."""
    try:
        with open(os.path.join(prefix, "wineserver")) as f:
            base = f.read().strip()
    except OSError:
        base = ""
    status = os.stat(prefix)
    return "/tmp/%s/server-%x-%x" % (base or ".wine-%d" % os.getuid(), status.st_dev, status.st_ino)


def holder_of(lock, group):
    """The process that holds or waits for a lock for a run (scripts/hold_lock.py LOCK PID), by the run's
    process group, or None."""
    for name in os.listdir("/proc"):
        argv = command_of(int(name)) if name.isdigit() else None
        try:
            if argv and len(argv) >= 3 and argv[1].endswith("hold_lock.py") and argv[2] == lock \
                    and os.getpgid(int(name)) == group:
                return int(name)
        except OSError:
            continue
    return None


class InterruptedRun(ScriptRuns):
    def test_ctrl_c_ends_a_running_and_a_waiting_test_command_quietly(self):
        outside = self.this_root()
        # The first run's test waits until it is interrupted. ctest, interrupted too, ends at once and shows
        # nothing of what its test prints then: that goes to a file as well.
        waiting = os.path.join(self.source, "waiting")
        probe_output = os.path.join(self.source, "probe-output")
        self.probe('exec python3 "%s" "$1/waiting" >"$1/probe-output" 2>&1' % PROBE)
        first, first_log = self.start([TEST_SH], **outside)
        self.wait_for("the first run's test's wait", lambda: os.path.exists(waiting), first, first_log)
        run_dir = self.run_dirs[0]
        # Two more runs wait for the first's lock.
        waiting_runs = []
        for _ in range(2):
            run, log = self.start([TEST_SH], **outside)
            self.wait_until("a second run's wait for the first",
                            lambda: "qirn: waiting for another test run" in self.read(log)
                            or run.poll() is not None, PATIENCE)
            self.assertIsNone(run.poll(), self.read(log))
            waiting_runs.append((run, log))
        (second, second_log), (third, third_log) = waiting_runs
        before = {run.pid: self.read(log) for run, log in [(first, first_log)] + waiting_runs}

        # The interrupt can reach a waiting run's lock holder, and the holder's end the run's script, before
        # the script's own interrupt reaches it (seen on a busy host): here the third run's holder alone is
        # interrupted.
        holder = holder_of(os.path.join(self.build, ".qirn-test.lock"), third.pid)
        self.assertIsNotNone(holder)
        os.kill(holder, signal.SIGINT)
        self.wait_until("the end of the run whose holder was interrupted", lambda: third.poll() is not None,
                        ENDS_WITHIN)
        for run in (second, first):
            os.killpg(run.pid, signal.SIGINT)
        for run, log in ((first, first_log), (second, second_log), (third, third_log)):
            self.wait_until("the interrupted run's end", lambda: run.poll() is not None, ENDS_WITHIN)
            text = self.read(log)
            self.assertEqual(130, run.returncode, text)
            # Nothing more is said: no traceback, no line that blames a lock or a folder for the interrupt.
            self.assertEqual("", text[len(before[run.pid]):].strip(), text)
        with open(probe_output) as f:
            self.assertNotIn("Traceback", f.read())
        self.wait_until("the end of everything the runs started", lambda: not self.marked(), ENDS_WITHIN)
        self.assertFalse(os.path.exists(run_dir), run_dir)
        self.assertFalse(os.path.exists(run_dir + ".lock"), run_dir)

    def test_an_interrupted_test_command_keeps_its_folder_until_its_test_has_ended(self):
        outside = self.this_root()
        # A test that an interrupt does not end (from the moment it says so).
        self.probe('trap \'\' INT\ntouch "$1/ready"\nexec sleep %d' % (PATIENCE * 4))
        first, log = self.start([TEST_SH], **outside)
        ready = os.path.join(self.source, "ready")
        self.wait_for("the run's test start", lambda: os.path.exists(ready), first, log)
        run_dir = self.run_dirs[0]
        before = self.read(log)

        os.killpg(first.pid, signal.SIGINT)
        # Far less than the run waits for its test.
        time.sleep(3)
        self.assertIsNone(first.poll(), self.read(log))
        self.assertTrue(os.path.isdir(run_dir))
        with open(run_dir + ".lock") as f:
            with self.assertRaises(BlockingIOError):
                fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
        tests = [pid for pid in self.marked() if command_of(pid) == ["sleep", str(PATIENCE * 4)]]
        self.assertEqual(1, len(tests), self.marked())
        os.kill(tests[0], signal.SIGKILL)
        self.wait_until("the interrupted run's end", lambda: first.poll() is not None, ENDS_WITHIN)
        text = self.read(log)
        self.assertEqual(130, first.returncode, text)
        self.assertEqual("", text[len(before):].strip(), text)
        self.wait_until("the end of everything the run started", lambda: not self.marked(), ENDS_WITHIN)
        self.assertFalse(os.path.exists(run_dir), run_dir)
        self.assertFalse(os.path.exists(run_dir + ".lock"), run_dir)

    def test_ctrl_c_typed_again_while_the_test_command_stops_does_not_cut_its_stop_short(self):
        outside = self.this_root()
        # A test that takes the time it is given to end: its first interrupt (from the moment it is ready)
        # starts its end, it ignores the others (as the scripts' tests do), and it ends once told to, saying
        # that it has.
        self.probe('trap \'touch "$1/interrupted"\' INT\n'
                   'touch "$1/ready"\n'
                   'while [ ! -e "$1/interrupted" ]; do sleep 0.1; done\n'
                   "trap '' INT\n"
                   'while [ ! -e "$1/go" ]; do sleep 0.1; done\n'
                   'touch "$1/ended"')
        run, log = self.start([TEST_SH], **outside)
        ready = os.path.join(self.source, "ready")
        self.wait_for("the run's test start", lambda: os.path.exists(ready), run, log)
        run_dir = self.run_dirs[0]
        server = wine_server_folder(os.path.join(run_dir, "wine"))
        self.assertTrue(os.path.isdir(server), server)
        before = self.read(log)

        # As a terminal sends it, to the whole process group: twice, 50 ms apart.
        os.killpg(run.pid, signal.SIGINT)
        time.sleep(0.05)
        os.killpg(run.pid, signal.SIGINT)
        # Once more when the run surely stops: ctest has ended, and the run waits for its test.
        self.wait_until("the test's interrupt", lambda: os.path.exists(os.path.join(self.source, "interrupted")),
                        ENDS_WITHIN)
        self.wait_until("the end of ctest", lambda: "ctest" not in self.marked().values(), ENDS_WITHIN)
        time.sleep(2)
        os.killpg(run.pid, signal.SIGINT)
        self.assertIsNone(run.poll(), self.read(log))
        with open(os.path.join(self.source, "go"), "w"):
            pass
        self.wait_until("the interrupted run's end", lambda: run.poll() is not None, ENDS_WITHIN)
        text = self.read(log)
        self.assertEqual(130, run.returncode, text)
        self.assertEqual("", text[len(before):].strip(), text)
        self.assertTrue(os.path.exists(os.path.join(self.source, "ended")), text)
        self.wait_until("the end of everything the run started", lambda: not self.marked(), ENDS_WITHIN)
        self.assertFalse(os.path.exists(run_dir), run_dir)
        self.assertFalse(os.path.exists(run_dir + ".lock"), run_dir)
        self.assertFalse(os.path.exists(server), server)

    def test_ctrl_c_on_a_script_test_ends_what_it_started_and_then_the_test(self):
        # The probe's folder goes in the run's folder it is given.
        folder = os.path.join(self.work, "run")
        os.mkdir(folder)
        waiting = os.path.join(self.work, "waiting")
        probe, log = self.start([sys.executable, PROBE, waiting, "hold"], QIRN_RUN_DIR=folder)
        self.wait_for("the probe's wait", lambda: os.path.exists(waiting), probe, log)
        with open(waiting) as f:
            started = int(f.read())
        self.assertTrue(alive(started))
        # (should the probe leave it)
        self.addCleanup(lambda: alive(started) and os.kill(started, signal.SIGKILL))

        os.killpg(probe.pid, signal.SIGINT)
        # Again while it ends what it started (it waits for a word to go on).
        self.wait_until("the start of the probe's end", lambda: os.path.exists(waiting + ".ending"), ENDS_WITHIN)
        os.killpg(probe.pid, signal.SIGINT)
        time.sleep(1)
        with open(waiting + ".go", "w"):
            pass
        self.wait_until("the interrupted probe's end", lambda: probe.poll() is not None, ENDS_WITHIN)
        text = self.read(log)
        self.assertEqual(-signal.SIGINT, probe.returncode, text)
        self.assertNotIn("Traceback", text)
        self.assertFalse(alive(started), text)
        self.assertEqual([], os.listdir(folder), text)

    def test_ctrl_c_ends_the_run_command_while_its_program_runs_quietly(self):
        os.makedirs(os.path.join(self.build, "shell"))
        shutil.copy(RUNNER_PROBE, os.path.join(self.build, "shell", "qirn.exe"))
        # Far longer than the test: only the interrupt ends the run.
        run, log = self.start([INROOT, "run", "wait"], QIRN_RUN_SECONDS=str(PATIENCE * 4))
        self.wait_for("the program's test", lambda: "[ RUN      ] RunnerProbe." in self.read(log), run, log)
        run_dir = self.run_dirs[0]
        before = self.read(log)

        # Typed twice, as a terminal sends it.
        os.killpg(run.pid, signal.SIGINT)
        time.sleep(0.05)
        os.killpg(run.pid, signal.SIGINT)
        self.wait_until("the interrupted run's end", lambda: run.poll() is not None, ENDS_WITHIN)
        text = self.read(log)
        self.assertEqual(130, run.returncode, text)
        self.assertEqual("", text[len(before):].strip(), text)
        self.wait_until("the end of everything the run started", lambda: not self.marked(), ENDS_WITHIN)
        self.assertFalse(os.path.exists(run_dir), text)
        self.assertFalse(os.path.exists(run_dir + ".lock"), text)

    def test_ctrl_c_ends_a_build_without_a_word_and_its_compiler_with_it(self):
        self.compile_step("exec sleep %d" % (PATIENCE * 4))
        build, log = self.start([INROOT, "build"])
        self.wait_for("the build's compile step", lambda: self.compiler_of(self.build), build, log)
        compiler = self.compiler_of(self.build)
        before = self.read(log)

        os.killpg(build.pid, signal.SIGINT)
        self.wait_until("the interrupted build's end", lambda: build.poll() is not None, ENDS_WITHIN)
        self.assertEqual(130, build.returncode, self.read(log))
        self.wait_until("the end of everything the build started", lambda: not self.marked(), ENDS_WITHIN)
        self.assertFalse(alive(compiler))
        # (read once nothing of the build can write any more)
        text = self.read(log)
        self.assertEqual("", text[len(before):].strip(), text)


if __name__ == "__main__":
    RUNNER_PROBE = sys.argv.pop(1)
    unittest.main()
