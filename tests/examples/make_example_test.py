#!/usr/bin/env python3
"""examples/demo/make_example.py writes the example demo's files beside itself: given --help, an option it
does not know or any other argument, it shows its usage and writes nothing; given --music, it encodes the
tune with the programs the build root has. It runs here as a copy, with the texture module it imports, in a
folder of its own, so that the example's own files are never touched."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

CLONE = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))


class MakeExample(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="make-example.", dir=os.environ.get("QIRN_RUN_DIR") or None)
        self.addCleanup(shutil.rmtree, self.folder, True)
        for relative in ("examples/demo/make_example.py", "renderer/make_textures.py"):
            os.makedirs(os.path.dirname(os.path.join(self.folder, relative)), exist_ok=True)
            shutil.copy(os.path.join(CLONE, relative), os.path.join(self.folder, relative))
        self.program = os.path.join(self.folder, "examples", "demo", "make_example.py")

    def files(self):
        return sorted(os.path.relpath(os.path.join(top, name), self.folder)
                      for top, _, names in os.walk(self.folder) for name in names
                      if "__pycache__" not in top)

    def make(self, *arguments):
        return subprocess.run([sys.executable, self.program] + list(arguments), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, universal_newlines=True)

    def test_help_an_unknown_option_or_an_argument_shows_the_usage_and_writes_nothing(self):
        before = self.files()
        for arguments, status in ((["--help"], 0), (["-h"], 0), (["--musik"], 2), (["--music", "extra"], 2)):
            done = self.make(*arguments)
            self.assertEqual(status, done.returncode, (arguments, done.stdout, done.stderr))
            self.assertIn("usage: make_example.py", done.stdout + done.stderr, arguments)
            self.assertEqual(before, self.files(), arguments)

    def test_without_arguments_it_writes_the_example_as_committed(self):
        done = self.make()
        self.assertEqual(0, done.returncode, done.stderr)
        written = [name for name in self.files() if not name.endswith(".py")]
        self.assertIn("examples/demo/intro/intro.scene", written)
        for name in written:
            with open(os.path.join(self.folder, name), "rb") as ours, open(os.path.join(CLONE, name), "rb") as kept:
                self.assertEqual(kept.read(), ours.read(), name)

    def test_with_music_it_encodes_the_tune_in_the_build_root(self):
        done = self.make("--music")
        self.assertEqual(0, done.returncode, done.stderr)
        with open(os.path.join(self.folder, "examples", "demo", "music", "theme.mp3"), "rb") as f:
            tune = f.read()
        # MPEG audio frames (their sync bits first) at 32 kbit/s: about the committed tune's size.
        self.assertEqual((0xFF, 0xE0), (tune[0], tune[1] & 0xE0))
        committed = os.path.getsize(os.path.join(CLONE, "examples", "demo", "music", "theme.mp3"))
        self.assertLess(abs(len(tune) - committed), committed // 20)


if __name__ == "__main__":
    unittest.main()
