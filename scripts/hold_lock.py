#!/usr/bin/env python3
"""Holds the lock of a file on behalf of a shell, for as long as that shell lives.

A lock that a shell takes on one of its own descriptors is inherited by every program it starts, and a
program that outlives the shell (a display server, a sound server, a wine server) keeps it: the next run
would wait on a dead one for ever. Here the lock lives in this process alone (its descriptor is not
inherited by anything), and this process ends as soon as the shell has ended, however it ended.

    hold_lock.py FILE PID

Prints "waiting" when another holds the lock, then "locked" once this one has it, each on a line of its
own; ends without a word when PID ends first, or when it is interrupted or asked to end (SIGINT, SIGTERM)
while it waits. Once it has the lock it holds it until PID ends, or until it is killed (SIGKILL): an
interrupt ends the shell's run, and the lock lasts until the shell has stopped what the run started (had it
gone with the interrupt, another run could take the run for a dead one and clear it meanwhile).
"""
import fcntl
import os
import select
import signal
import sys
import threading

# An interrupt (Ctrl-C reaches the whole process group, this process with the shell) or a request to end
# ends this process as it would any program that has nothing to say: without a word (Python's own handling
# of SIGINT prints a traceback). The lock goes with it.
signal.signal(signal.SIGINT, signal.SIG_DFL)
signal.signal(signal.SIGTERM, signal.SIG_DFL)


def wait_for_end(watch):
    select.select([watch], [], [])
    os._exit(0)


def main(argv):
    if len(argv) != 3:
        print("usage: hold_lock.py FILE PID", file=sys.stderr)
        return 2
    path, pid = argv[1], int(argv[2])
    # Whatever the shell had open (another lock among them) is not ours to keep.
    os.closerange(3, 1 << 16)
    try:
        watch = os.pidfd_open(pid)
    except ProcessLookupError:
        return 1
    threading.Thread(target=wait_for_end, args=(watch,), daemon=True).start()
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_CLOEXEC, 0o644)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        print("waiting", flush=True)
        fcntl.flock(fd, fcntl.LOCK_EX)
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
    print("locked", flush=True)
    wait_for_end(watch)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
