#!/usr/bin/env python3
"""What a run's program prints, its standard output and standard error as one stream (so that its lines keep
the order it wrote them in), passed on to our standard output as it comes, each line when it is written;
what Wine itself prints into that stream goes to the run's Wine log instead:

- its report of a crash ("wine: Unhandled page fault ..., starting debugger...", "wine: Assertion failed at
  address ...", any other line of Wine's that starts the debugger, or the translator's "qemu: uncaught
  target signal ..."), whose first line is also written to the crash file, for the run to name the crash,
  and everything after it (the debugger's report: the program is stopped meanwhile);
- the lines of its libraries and debug channels ("ALSA lib ...", which Wine's sound driver prints when it
  looks for a MIDI sequencer, and "err:..." or "fixme:..." when WINEDEBUG asks for them).

    program_output.py WINE_LOG CRASH_FILE     the program's stream on standard input

A line not ended yet is passed on once nothing more has come for a moment (a prompt without a newline).
"""
import os
import re
import select
import signal
import sys

CRASH = re.compile(rb"^(wine: (Unhandled |Assertion failed|.*, starting debugger)|qemu: uncaught target signal )")
WINE_OWN = re.compile(rb"^(ALSA lib \S+:\d+:\(\S+\) |([0-9a-f]{4}:)?(err|fixme|warn|trace):[\w-]*:)")
# How long a part of a line waits for its end before it is passed on, in seconds.
PART_WAITS = 0.2


def write_all(fd, data):
    while data:
        data = data[os.write(fd, data):]


class Relay:
    def __init__(self, wine_log, crash_file):
        self.log = os.open(wine_log, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
        self.crash_file = crash_file
        self.crashed = False
        # Whether the line under way began as the program's (a part of it was passed on already).
        self.midline = False

    def line(self, text):
        """One line, with its newline (or the part of one that has come)."""
        if not self.midline and not self.crashed and CRASH.match(text):
            self.crashed = True
            with open(self.crash_file, "wb") as f:
                f.write(text.rstrip(b"\r\n") + b"\n")
        if self.crashed or (not self.midline and WINE_OWN.match(text)):
            write_all(self.log, text)
        else:
            try:
                write_all(1, text)
            except BrokenPipeError:
                pass
        self.midline = not text.endswith(b"\n")

    def run(self):
        pending = b""
        while True:
            ready, _, _ = select.select([0], [], [], PART_WAITS if pending else None)
            if not ready:
                self.line(pending)
                pending = b""
                continue
            data = os.read(0, 65536)
            if not data:
                break
            pending += data
            *lines, pending = pending.split(b"\n")
            for text in lines:
                self.line(text + b"\n")
        if pending:
            self.line(pending)


def main():
    # An interrupt ends the relay as it ends the rest of the run, without a word.
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    Relay(sys.argv[1], sys.argv[2]).run()


if __name__ == "__main__":
    main()
