#!/usr/bin/env python3
"""What the run command does with the files it is given and with its screenshot:

- a file outside the clone is reached through its folder, which scripts/run.sh mounts in the build root at
  its own path (the program reads the file there, and writes beside it);
- a file whose folder the build root has files of its own in (/etc here) is refused before anything is
  built or started, with a line that says why;
- a run whose program ends before the screenshot leaves no screenshot of an earlier run in out/.

The runner's probe plays qirn.exe (in shell/ of a small build folder of the test's own, see script_runs.py),
and the commands run from a clone of the scripts alone, whose out/ is the test's. The run command runs here
as it does on the host (see ScriptRuns.this_root), or in a root of its own where a folder mounted for the
test shows as it does in a root that is not given it: empty.

    run_command_test.py runner_probe.exe
"""
import os
import shutil
import subprocess
import sys
import unittest

from script_runs import BUILDROOT, PATIENCE, ScriptRuns

PROBE = None
# What a demo's script holds.
SCRIPT = "-- a script beside its demo's own files\n"


class RunCommand(ScriptRuns):
    def setUp(self):
        super().setUp()
        self.clone = self.scripts_clone()
        os.makedirs(os.path.join(self.build, "shell"))
        shutil.copy(PROBE, os.path.join(self.build, "shell", "qirn.exe"))

    def run_sh(self):
        return os.path.join(self.clone, "scripts", "run.sh")

    def test_a_file_outside_the_clone_is_read_in_its_own_folder(self):
        # The command's root is this root without the mounts made in it (a bind of "/" alone): the demo's
        # folder, a mount made for the command only, shows there as the empty folder beneath it, as a folder
        # of the host does in a root that has none.
        cache = os.path.join(self.work, "cache")
        os.mkdir(cache)
        root = subprocess.run([BUILDROOT, "path"], env=dict(self.env, QIRN_CACHE=cache), check=True,
                              stdout=subprocess.PIPE).stdout.decode().strip()
        os.mkdir(root)
        content = os.path.join(self.work, "demo-content")
        folder = os.path.join(self.work, "demo")
        os.mkdir(content)
        os.mkdir(folder)
        with open(os.path.join(content, "x.lua"), "w") as f:
            f.write(SCRIPT)
        # Far longer than the probe takes: it ends by itself.
        run, log = self.start(["unshare", "--mount", "--propagation", "private", "sh", "-c",
                               'mount --bind / "$1" && mount --bind "$2" "$3" && shift 3 && exec "$@"', "sh",
                               root, content, folder, self.run_sh(), os.path.join(folder, "x.lua"), "read"],
                              QIRN_CACHE=cache, QIRN_RUN_SECONDS=str(PATIENCE))
        text = self.wait_for("the run's end", lambda: run.poll() is not None, run, log)
        self.assertIn("qirn: qirn.exe ended before the screenshot", text)
        self.assertNotIn("cannot open", text)
        with open(os.path.join(content, "x.lua.read")) as f:
            self.assertEqual(SCRIPT, f.read(), text)
        self.wait_until("the end of everything the run started", lambda: not self.marked(), 60)
        self.assertFalse(os.path.exists(self.run_dirs[0]), text)

    def test_a_file_in_a_folder_of_the_roots_own_is_refused_before_anything_starts(self):
        run, log = self.start([self.run_sh(), "/etc/os-release"], **self.this_root())
        text = self.wait_for("the run's end", lambda: run.poll() is not None, run, log)
        self.assertEqual(2, run.returncode, text)
        self.assertEqual("run: /etc/os-release lies outside the clone, and its folder cannot be mounted in the "
                         "build root: the build root has files of its own in /etc", text.strip())
        self.assertIsNone(self.compiler_of(self.build), text)

    def test_a_run_without_a_screenshot_leaves_no_earlier_one(self):
        screen = os.path.join(self.clone, "out", "qirn-screen.png")
        os.mkdir(os.path.dirname(screen))
        with open(screen, "w") as f:
            f.write("an earlier run's screenshot")
        run, log = self.start([os.path.join(self.clone, "scripts", "inroot.sh"), "run", "pass"],
                              QIRN_RUN_SECONDS=str(PATIENCE))
        text = self.wait_for("the run's end", lambda: run.poll() is not None, run, log)
        self.assertNotEqual(0, run.returncode, text)
        self.assertIn("qirn: qirn.exe ended before the screenshot", text)
        self.assertFalse(os.path.exists(screen), text)


if __name__ == "__main__":
    PROBE = sys.argv.pop(1)
    unittest.main()
