#!/usr/bin/env python3
"""A test run whose script is killed with SIGKILL (the OOM killer, a CI time limit, kill -9) never stalls
the next test run of its build folder: the next one starts without waiting, ends what the killed run left
running (its Xvfb, its sound server, its tests) and removes every folder it left.

The runs are scripts/inroot.sh test runs on a small build folder of their own (a CMake project with one
test, made here), so that they meet neither the run this test is part of nor the clone's build.

    killed_run_test.py
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

INROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "inroot.sh")
PROJECT = """cmake_minimum_required(VERSION 3.20)
project(killed_run_probe NONE)
enable_testing()
add_test(NAME probe COMMAND sh "${CMAKE_CURRENT_SOURCE_DIR}/probe.sh" "${CMAKE_CURRENT_SOURCE_DIR}")
"""
# Generous bounds on waits that end much sooner; only a hang reaches them.
PATIENCE = 300


def processes_of_run(run_dir):
    """The processes whose environment names the run's folder, by number, with their names."""
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % entry, "rb") as f:
                environment = f.read().split(b"\0")
            with open("/proc/%s/comm" % entry) as f:
                name = f.read().strip()
        except OSError:
            continue
        if ("QIRN_RUN_DIR=" + run_dir).encode() in environment:
            found[int(entry)] = name
    return found


class KilledRun(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="killed-run.")
        self.source = os.path.join(self.work, "source")
        self.build = os.path.join(self.work, "build")
        os.mkdir(self.source)
        with open(os.path.join(self.source, "CMakeLists.txt"), "w") as f:
            f.write(PROJECT)
        self.probe("exit 0")
        subprocess.run(["cmake", "-S", self.source, "-B", self.build, "-G", "Ninja"], check=True,
                       stdout=subprocess.DEVNULL)
        # The runs here pick their own prefix copies and build folder.
        self.env = {k: v for k, v in os.environ.items() if k not in ("QIRN_WINEPREFIX", "WINEPREFIX")}
        self.env["QIRN_BUILD"] = self.build
        self.run_dirs = []

    def tearDown(self):
        # What a failed check left running.
        for run_dir in self.run_dirs:
            for pid in processes_of_run(run_dir):
                try:
                    os.kill(pid, signal.SIGKILL)
                except OSError:
                    pass
            subprocess.run(["rm", "-rf", run_dir, run_dir + ".lock"])
        subprocess.run(["rm", "-rf", self.work])

    def probe(self, body):
        with open(os.path.join(self.source, "probe.sh"), "w") as f:
            f.write('touch "$1/started"\n' + body + "\n")

    def start_run(self):
        log = open(os.path.join(self.work, "run-%d.log" % time.monotonic_ns()), "w+b")
        run = subprocess.Popen([INROOT, "test"], env=self.env, stdout=log, stderr=subprocess.STDOUT,
                               start_new_session=True)
        return run, log

    def wait_for(self, what, done, run, log):
        """Waits until done(), and fails when the run ends first or waits for a lock (a run of its own
        build folder has nothing to wait for but a dead run)."""
        for _ in range(PATIENCE * 10):
            if done():
                return self.read(log)
            text = self.read(log)
            if run.poll() is not None or "qirn: waiting for" in text:
                run.kill()
                self.fail("%s did not happen; the run says:\n%s" % (what, text))
            time.sleep(0.1)
        self.fail("%s did not happen; the run says:\n%s" % (what, self.read(log)))

    def read(self, log):
        log.seek(0)
        text = log.read().decode(errors="replace")
        found = re.search(r"Wine prefix (\S+)/wine, ", text)
        if found and found.group(1) not in self.run_dirs:
            self.run_dirs.append(found.group(1))
        return text

    def test_a_run_killed_with_sigkill_leaves_nothing_that_stalls_the_next(self):
        # The first run's test waits until it is killed.
        self.probe("exec sleep %d" % (PATIENCE * 2))
        first, log = self.start_run()
        started = os.path.join(self.source, "started")
        text = self.wait_for("the first run's test start", lambda: os.path.exists(started), first, log)
        self.assertIn("qirn: Xvfb on display", text)
        self.assertIn("qirn: sound server: a null sink", text)
        run_dir = self.run_dirs[0]

        os.kill(first.pid, signal.SIGKILL)
        first.wait()
        os.remove(started)
        self.probe("exit 0")
        second, log = self.start_run()
        text = self.wait_for("the second run's end", lambda: second.poll() is not None, second, log)
        self.assertEqual(0, second.returncode, text)
        self.assertTrue(os.path.exists(started), text)
        self.assertFalse(os.path.exists(run_dir), run_dir)
        self.assertFalse(os.path.exists(run_dir + ".lock"), run_dir)
        self.assertEqual({}, processes_of_run(run_dir))
        # Nor does the second run leave anything behind.
        self.assertEqual(2, len(self.run_dirs), text)
        self.assertFalse(os.path.exists(self.run_dirs[1]), text)


if __name__ == "__main__":
    unittest.main()
