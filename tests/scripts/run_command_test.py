#!/usr/bin/env python3
"""What the run command does with the files it is given and with its screenshot:

- a file outside the clone is reached through its folder, which scripts/run.sh mounts in the build root at
  its own path (the program reads the file there, and writes beside it);
- a file whose folder the build root has files of its own in (/etc here), and a file that is not there, are
  refused before anything is built or started, with a line that names the file and says why;
- a run whose program ends before the screenshot leaves no screenshot of an earlier run in out/;
- a script's lines (of print, io.stderr:write and io.write) reach the run's output as the script writes them,
  in that order, while qirn.exe plays on (the real one, here), and the run's end at its screenshot adds no
  line but the run's own;
- what Wine itself says in the program's output (its sound driver's lines, when a program asks it for MIDI
  outputs) goes to the run's Wine log, not to the run's output, where the program's own lines go;
- a packed demo (an .exe) given first runs in qirn.exe's place, as a user starts it: from its own folder,
  without arguments.

The runner's probe plays qirn.exe (in shell/ of a small build folder of the test's own, see script_runs.py),
and the commands run from a clone of the scripts alone, whose out/ is the test's. The run command runs here
as it does on the host (see ScriptRuns.this_root), or in a root of its own where a folder mounted for the
test shows as it does in a root that is not given it: empty.

    run_command_test.py runner_probe.exe qirn.exe
"""
import os
import shutil
import subprocess
import sys
import unittest

from script_runs import BUILDROOT, PATIENCE, ScriptRuns

PROBE = None
QIRN = None
# What a demo's script holds.
SCRIPT = "-- a script beside its demo's own files\n"
# A script that writes a line on each of its streams, then plays on until the run ends it.
WRITING = 'print("first")\nio.stderr:write("second\\n")\nio.write("third\\n")\nwhile true do end\n'


class RunCommand(ScriptRuns):
    def setUp(self):
        super().setUp()
        self.clone = self.scripts_clone()
        os.makedirs(os.path.join(self.build, "shell"))
        shutil.copy(PROBE, os.path.join(self.build, "shell", "qirn.exe"))

    def run_sh(self):
        return os.path.join(self.clone, "scripts", "run.sh")

    def inroot(self):
        """The run command in the root, from the scripts' clone (its screenshot goes into the clone's out/)."""
        return os.path.join(self.clone, "scripts", "inroot.sh")

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

    def test_a_file_in_a_folder_of_the_roots_own_or_a_missing_file_is_refused_before_anything_starts(self):
        outside = self.this_root()
        relative = " (a relative path is taken from the clone's folder, %s)" % self.clone
        for arguments, said in (
                (["/etc/os-release"], "run: /etc/os-release lies outside the clone, and its folder cannot be "
                                      "mounted in the build root: the build root has files of its own in /etc"),
                (["examples/nosuch.demo.ini"], "run: examples/nosuch.demo.ini does not exist" + relative),
                (["/etc/x.lua"], "run: /etc/x.lua does not exist"),
                (["-display", "640x480", "-windowed", "1", "nosuch.x"], "run: nosuch.x does not exist" + relative),
                (["-demoexe", "out/x.exe", "/nowhere/x.demo.ini"], "run: /nowhere/x.demo.ini does not exist"),
                (["out/nosuch.exe"], "run: out/nosuch.exe does not exist" + relative),
                (["scripts"], "run: scripts is a folder, not a file" + relative)):
            with self.subTest(arguments=arguments):
                run, log = self.start([self.run_sh()] + arguments, **outside)
                text = self.wait_for("the run's end", lambda: run.poll() is not None, run, log)
                self.assertEqual(2, run.returncode, text)
                self.assertEqual(said, text.strip())
                self.assertIsNone(self.compiler_of(self.build), text)
                self.assertFalse(os.path.exists(os.path.join(self.work, "runs")), text)

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

    def test_a_scripts_lines_come_as_written_and_the_planned_end_adds_no_line_of_its_own(self):
        shutil.copy(QIRN, os.path.join(self.build, "shell", "qirn.exe"))
        script = os.path.join(self.work, "lines.lua")
        with open(script, "w") as f:
            f.write(WRITING)
        # Far longer than qirn.exe takes to start the script, which then plays on.
        run, log = self.start([self.inroot(), "run", script], QIRN_RUN_SECONDS=str(PATIENCE // 5))
        text = self.wait_for("the script's lines", lambda: "third" in self.read(log), run, log)
        self.assertEqual(["first", "second", "third"],
                         [line for line in text.splitlines() if line in ("first", "second", "third")], text)
        text = self.wait_for("the run's end", lambda: run.poll() is not None, run, log)
        self.assertEqual(0, run.returncode, text)
        self.assertIn("qirn: what qirn.exe shows: out/qirn-screen.png", text)
        self.assertTrue(os.path.exists(os.path.join(self.clone, "out", "qirn-screen.png")), text)
        # (the build's lines first: the build step of the test's project runs at every build)
        run_lines = text[text.index("qirn: "):].splitlines()
        self.assertEqual([], [line for line in run_lines
                              if not line.startswith("qirn: ") and line not in ("first", "second", "third")], text)

    def test_what_wine_says_in_the_programs_output_goes_to_the_runs_log(self):
        run, log = self.start([self.inroot(), "run", "midi"], QIRN_RUN_SECONDS=str(PATIENCE))
        text = self.wait_for("the run's end", lambda: run.poll() is not None, run, log)
        self.assertIn("qirn: qirn.exe ended before the screenshot", text)
        self.assertRegex(text, r"(?m)^midi outputs: \d+\r?$")
        self.assertNotIn("ALSA lib", text)
        with open(os.path.join(self.build, "wine-run.log"), errors="replace") as f:
            self.assertIn("ALSA lib ", f.read(), text)

    def test_a_packed_demo_runs_in_qirn_exes_place_from_its_own_folder_without_arguments(self):
        # A qirn.exe that Wine cannot start: only the pack may run.
        with open(os.path.join(self.build, "shell", "qirn.exe"), "w") as f:
            f.write("not a program\n")
        folder = os.path.join(self.work, "my demo")
        os.mkdir(folder)
        pack = os.path.join(folder, "demo.exe")
        shutil.copy(PROBE, pack)
        # The probe without arguments runs its one test, and writes its report into the current folder.
        run, log = self.start([self.inroot(), "run", pack], QIRN_RUN_SECONDS=str(PATIENCE), GTEST_OUTPUT="xml")
        text = self.wait_for("the run's end", lambda: run.poll() is not None, run, log)
        self.assertIn("qirn: demo.exe ended before the screenshot", text)
        self.assertIn("[  PASSED  ] 1 test.", text)
        self.assertTrue(os.path.exists(os.path.join(folder, "test_detail.xml")), text)


if __name__ == "__main__":
    PROBE = sys.argv.pop(1)
    QIRN = sys.argv.pop(1)
    unittest.main()
