#!/usr/bin/env python3
"""A failed load in full screen shows its box, on the screen and in the run command's screenshot.

Run by ctest in the build root on the test display: qirn.exe opens a file that is no mesh in the object
viewer, full screen (`-windowed 0 -display 1024x768`), as a double-clicked object would be. The X server's
own stacking and pixels are read: the box is the topmost window over its place and its face shows, in the
screen and in the PNG that scripts/run.sh saves; after a click on OK qirn.exe ends.

    fullscreen_box_test.py path/to/qirn.exe
"""
import ctypes
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import quiet_interrupt  # noqa: E402
import xscreen  # noqa: E402

WAIT = 600  # seconds for each step: translated 32-bit code on a busy machine is slow


def wait_for(what, test, process):
    end = time.time() + WAIT
    while time.time() < end:
        value = test()
        if value:
            return value
        if process.poll() is not None:
            raise AssertionError("qirn.exe ended (%d) while waiting for %s" % (process.returncode, what))
        time.sleep(0.5)
    raise AssertionError("timed out waiting for %s" % what)


def the_box(screen):
    """The box's place and the windows above it: a mapped window named "Qirn" smaller than the screen."""
    windows = screen.windows()
    for i, (name, x, y, width, height) in enumerate(windows):
        if name == "Qirn" and width < screen.width and height < screen.height:
            return (x, y, width, height), windows[i + 1:]
    return None


def overlaps(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def dark_share(rows):
    """The share of black pixels in rows of RGB triples."""
    pixels = [row[k:k + 3] for row in rows for k in range(0, len(row), 3)]
    return sum(1 for p in pixels if p == b"\0\0\0") / max(1, len(pixels))


def click(screen, x, y):
    xtst = ctypes.CDLL("libXtst.so.6")
    xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
    xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    xtst.XTestFakeMotionEvent(screen.display, -1, x, y, 0)
    xtst.XTestFakeButtonEvent(screen.display, 1, 1, 0)
    xtst.XTestFakeButtonEvent(screen.display, 1, 0, 0)
    screen.x.XSync(screen.display, 0)


def check(folder, process, screen):
    box, above = wait_for("the box", lambda: the_box(screen), process)
    x, y, width, height = box
    # Its face is painted after it is mapped: a face that never shows is the fault looked for.
    wait_for("the box's face", lambda: dark_share(screen.rgb(x, y, width, height)) < 0.25, process)
    box, above = the_box(screen) or (box, above)
    print("box at %s; mapped windows above it: %s" % (box, above))
    covering = [w for w in above if overlaps(box, w[1:])]
    assert not covering, "windows cover the box: %s" % covering

    shot = os.path.join(folder, "screen.png")
    subprocess.run([sys.executable, xscreen.__file__, shot], check=True)
    _, _, rows = xscreen.read_png(shot)
    in_shot = dark_share([row[3 * x:3 * (x + width)] for row in rows[y:y + height]])
    print("black share of the box in the screenshot: %.2f" % in_shot)
    assert in_shot < 0.25, "the screenshot shows no box: %.0f%% of its place is black" % (100 * in_shot)

    click(screen, x + width // 2, y + height - 22)  # OK, in the middle of the box's lowest row
    end = time.time() + WAIT
    while process.poll() is None and time.time() < end:
        time.sleep(0.5)
    assert process.poll() is not None, "qirn.exe did not end after the box was closed"


def main(exe):
    screen = xscreen.Screen()
    folder = tempfile.mkdtemp(prefix="qirn-fullscreen-box-")
    with open(os.path.join(folder, "broken.x"), "w") as f:
        f.write("this is not a mesh\n")
    output = os.path.join(folder, "output.txt")
    # Output into a file of ours: Wine's own processes outlive the program and would hold ctest's pipe.
    with open(output, "w") as log:
        process = subprocess.Popen(["wine", exe, "-windowed", "0", "-display", "1024x768", "broken.x"], stdout=log,
                                   stderr=subprocess.STDOUT, cwd=folder)
    failure = None
    try:
        check(folder, process, screen)
    except AssertionError as e:
        failure = str(e)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        with open(output) as f:
            text = f.read()
        shutil.rmtree(folder, ignore_errors=True)
    if failure:
        print("FAILED: " + failure)
        print(text)
        return 1
    return 0


if __name__ == "__main__":
    # Interrupted, it ends qirn.exe and removes its folder first (see main).
    quiet_interrupt.install()
    sys.exit(main(sys.argv[1]))
