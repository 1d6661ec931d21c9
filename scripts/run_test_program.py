#!/usr/bin/env python3
"""Runs one GoogleTest program under Wine for ctest and judges it by its tests' own result.

The program passes only when it exited with status 0 and wrote its result file (GoogleTest's XML report,
which it writes once every test has run) and that file records tests that ran and no failure, and when
nothing in its output after its result reports a crash (Wine's "wine: Unhandled ..." line: a process
that faults while the program ends, one of Wine's own that writes into its output among them, leaves the
program's exit status at 0) or a Direct3D device left alive. An exit status alone is not trusted: a Wine
process ended from outside (its wine server stopped, or killed by it) reports 0, and so has a program
whose summary said it failed. Whatever fails says why, in one line.

The program writes into a pipe of ours rather than into ctest's. Wine's own processes (services.exe,
explorer.exe and the like) start with the first program that needs them, inherit its output, and live on
with the wine server while other tests run; had they inherited ctest's pipe, ctest would wait on the
test that started them until the whole run ended. We end as soon as the program ends.

    run_test_program.py program.exe [arguments...]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import xml.etree.ElementTree as ElementTree

import quiet_interrupt

quiet_interrupt.install()

# GoogleTest's closing lines: "[  PASSED  ] 11 tests." or "[  FAILED  ] 2 tests, listed below:".
SUMMARY = re.compile(rb"^\[  (PASSED|FAILED)  \] \d+ tests?[.,]", re.MULTILINE)
# What Wine prints when an exception in a thread of a process went unhandled.
UNHANDLED = re.compile(rb"^wine: Unhandled [^\r\n]*", re.MULTILINE)
# What a test program prints when a Direct3D device's command thread outlived its tests.
DEVICE_LEFT = re.compile(rb"^A Direct3D command thread still runs at the end[^\r\n]*", re.MULTILINE)
# How much of what follows the summary is kept to look through.
AFTER_LIMIT = 1 << 20


class PassThrough:
    """Copies the program's output to ours, notes whether its test summary went by, and keeps what came
    after it."""

    def __init__(self, fd):
        self.fd = fd
        self.summary = False
        self.tail = b""
        self.after = b""

    def run(self):
        out = sys.stdout.buffer
        while True:
            chunk = os.read(self.fd, 65536)
            if not chunk:
                return
            out.write(chunk)
            out.flush()
            if self.summary:
                self.after = (self.after + chunk)[:AFTER_LIMIT]
                continue
            # a summary line may arrive split over two reads
            text = self.tail + chunk
            found = SUMMARY.search(text)
            if found:
                self.summary = True
                self.after = text[found.end():][:AFTER_LIMIT]
            self.tail = text[text.rfind(b"\n") + 1:][-4096:]


def windows_path(path):
    """The path under which a Wine program reaches a file of ours (Wine's drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def read_result(path):
    """What the result file records: (tests that ran, names of failed tests), or a text saying why it
    cannot be read."""
    try:
        root = ElementTree.parse(path).getroot()
    except (OSError, ElementTree.ParseError) as e:
        return "its result file cannot be read (%s)" % e
    if root.tag != "testsuites":
        return "its result file is not a test report"
    ran = 0
    failed = []
    for case in root.iter("testcase"):
        if case.get("status", "run") != "run":
            continue
        ran += 1
        if case.find("failure") is not None or case.find("error") is not None:
            failed.append("%s.%s" % (case.get("classname", "?"), case.get("name", "?")))
    # The totals too: a failure outside any test (an environment's set-up) is counted only there.
    for attribute in ("failures", "errors"):
        try:
            count = int(root.get(attribute, "0"))
        except ValueError:
            return "its result file has an unreadable %s count" % attribute
        if count and not failed:
            failed.append("%d %s outside the tests" % (count, attribute))
    return ran, failed


def after_result(after):
    """What the program's output after its summary and result reports that fails it (a text), or None."""
    for pattern, what in ((UNHANDLED, "an unhandled exception"), (DEVICE_LEFT, "a Direct3D device left alive")):
        found = pattern.search(after)
        if found:
            return "passed its tests, but its output after its result reports %s: %s" % (
                what, found.group(0).decode(errors="replace").strip())
    return None


def judge(status, summary, result, after=b""):
    """Why the run failed (a line), or None when it passed. status: the exit status (negative: the
    signal that ended it); summary: whether its test summary went by; result: read_result's answer, or
    None when there was no result file; after: what the program printed after its summary."""
    when = "after its summary" if summary else "before its summary"
    if status < 0:
        return "ended by signal %d %s" % (-status, when)
    if status != 0:
        return "exited with status %d %s" % (status, when)
    if result is None:
        return "exited with status 0 %s but wrote no result file: it did not run to its end" % when
    if isinstance(result, str):
        return result
    ran, failed = result
    if failed:
        return "exited with status 0 but its result records %d failed: %s" % (len(failed), ", ".join(failed))
    if ran == 0:
        return "ran no tests"
    return after_result(after)


def main(argv):
    if len(argv) < 2:
        print("usage: run_test_program.py program.exe [arguments...]", file=sys.stderr)
        return 2
    name = os.path.basename(argv[1])
    # A fresh folder each run: a result file found after the program can only be this run's. It goes in
    # the test run's folder, which a killed run leaves for the next run to remove.
    folder = tempfile.mkdtemp(prefix="qirn-test-result.", dir=os.environ.get("QIRN_RUN_DIR") or None)
    try:
        result_file = os.path.join(folder, "result.xml")
        # Last, so that it is the one GoogleTest keeps.
        command = ["wine"] + argv[1:] + ["--gtest_output=xml:" + windows_path(result_file)]
        proc = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        try:
            output = PassThrough(proc.stdout.fileno())
            reader = threading.Thread(target=output.run, daemon=True)
            reader.start()
            status = proc.wait()
        finally:
            # Interrupted, the program is ended before its folder goes (GoogleTest makes the folder of
            # its result file anew).
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        # What the program wrote is in the pipe already; Wine's processes may keep the pipe open after it.
        reader.join(timeout=2)
        sys.stdout.flush()
        result = read_result(result_file) if os.path.exists(result_file) else None
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    reason = judge(status, output.summary, result, output.after)
    if reason is None:
        return 0
    print("run_test_program.py: %s %s" % (name, reason), flush=True)
    if status < 0:
        return 128 - status
    return status if status > 0 else 1


if __name__ == "__main__":
    try:
        code = main(sys.argv)
    except KeyboardInterrupt:
        # Without the interpreter's shutdown either (see below).
        quiet_interrupt.end()
    sys.stdout.flush()
    sys.stderr.flush()
    # Not sys.exit: Wine's processes may still hold the pipe, and a line one of them writes during the
    # interpreter's shutdown would reach the reading thread while the streams close (Python then aborts).
    os._exit(code)
