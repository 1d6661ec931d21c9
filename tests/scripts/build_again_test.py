#!/usr/bin/env python3
"""A build of the built clone (inroot.sh build, which scripts/run.sh and scripts/test.sh start with) has
nothing to do and says nothing, and keeps the display settings next to qirn.exe as the user left them: the
build wrote them once, and they are the user's to edit.

    build_again_test.py BUILD_FOLDER
"""
import os
import subprocess
import sys
import unittest

from script_runs import INROOT, PATIENCE

BUILD = None


def replace(path, content):
    """Writes a file whole, at once: qirn.exe, run by other tests meanwhile, reads it."""
    with open(path + ".part", "wb") as f:
        f.write(content)
    os.replace(path + ".part", path)


class BuildAgain(unittest.TestCase):
    def test_a_build_with_nothing_to_do_says_nothing_and_keeps_the_users_display_settings(self):
        setup = os.path.join(BUILD, "shell", "qirn-setup.ini")
        with open(setup, "rb") as f:
            written = f.read()
        edited = written + b"; the user's own line\n"
        replace(setup, edited)
        try:
            done = subprocess.run([INROOT, "build"], env=dict(os.environ, QIRN_BUILD=BUILD), stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=PATIENCE)
            said = done.stdout.decode(errors="replace")
            self.assertEqual(0, done.returncode, said)
            # (a build of the clone started meanwhile, by hand, is waited for)
            self.assertEqual([], [line for line in said.splitlines()
                                  if not line.startswith("qirn: waiting for another build of ")], said)
            with open(setup, "rb") as f:
                self.assertEqual(edited, f.read())
        finally:
            replace(setup, written)


if __name__ == "__main__":
    BUILD = sys.argv.pop(1)
    unittest.main()
