"""Ctrl-C ends our Python programs as it ends any other program: without a word (Python's own handling of
SIGINT prints a traceback) and by the signal itself, so that a shell waiting for the program sees it
interrupted, as it sees any other. What a program undoes on its way out (its finally and with blocks) is
undone first, and whole: the first interrupt is raised as KeyboardInterrupt, which ends the program once it
reaches the top, and the ones after it (Ctrl-C typed again) are ignored meanwhile, by the program and by
what it starts on its way out. (A test run gives its interrupted tests a time to end, then ends what is
left of them.)

    import quiet_interrupt
    quiet_interrupt.install()     at the program's start

A program whose interpreter must not shut down as usual (see run_test_program.py) ends by end() instead
once it has caught the KeyboardInterrupt.
"""
import os
import signal
import sys


def _interrupted(signum, frame):
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    raise KeyboardInterrupt


def _quiet_hook(previous):
    def hook(kind, value, traceback):
        # Python ends by SIGINT after an interrupt that nothing caught (once its shutdown is over).
        if not issubclass(kind, KeyboardInterrupt):
            previous(kind, value, traceback)
    return hook


def install():
    # A program started with interrupts ignored (in the background of a shell) keeps ignoring them.
    if signal.getsignal(signal.SIGINT) is signal.default_int_handler:
        signal.signal(signal.SIGINT, _interrupted)
    sys.excepthook = _quiet_hook(sys.excepthook)


def end():
    """Ends the program at once, as SIGINT ends a program that does not catch it."""
    for stream in (sys.stdout, sys.stderr):
        try:
            stream.flush()
        except (OSError, ValueError):
            pass
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    os.kill(os.getpid(), signal.SIGINT)
    os._exit(128 + signal.SIGINT)
