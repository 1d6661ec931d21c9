#!/usr/bin/env python3
"""What an X display shows: its mapped top-level windows in stacking order and the pixels of its root
window, read with Xlib itself; saved as a PNG, this is the run command's screenshot.

    xscreen.py out.png      save what the display in $DISPLAY shows

The root is read as the screen holds it (one XGetImage, all planes). An X window dump (xwd) converts each
window through its visual's colormap instead; on Xvfb, whose root visual is DirectColor, that turned the
message boxes Wine draws into black, so a box over a full-screen window looked like a black, hung screen.
"""
import ctypes
import os
import struct
import sys
import zlib


class _Attributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class _Image(ctypes.Structure):
    """The leading fields of Xlib's XImage."""
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
                ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]


_IS_VIEWABLE = 2
_Z_PIXMAP = 2
_ALL_PLANES = 0xFFFFFFFF


class Screen:
    """The X display in $DISPLAY."""

    def __init__(self):
        x = self.x = ctypes.CDLL("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                 ctypes.POINTER(ctypes.c_uint)]
        x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(_Attributes)]
        x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.POINTER(_Image)
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XDisplayWidth.argtypes = x.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
        # A window may go between the stacking query and the question about it: such errors are ignored.
        self._on_error = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda display, event: 0)
        x.XSetErrorHandler.argtypes = [ctypes.c_void_p]
        x.XSetErrorHandler(self._on_error)
        self.display = x.XOpenDisplay(None)
        if not self.display:
            raise RuntimeError("no X display")
        self.root = x.XDefaultRootWindow(self.display)
        self.width = x.XDisplayWidth(self.display, 0)
        self.height = x.XDisplayHeight(self.display, 0)

    def windows(self):
        """(name, x, y, width, height) of every mapped top-level window, bottom to top."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x.XQueryTree(self.display, self.root, ctypes.byref(root), ctypes.byref(parent),
                                 ctypes.byref(children), ctypes.byref(count)):
            return []
        found = []
        for i in range(count.value):
            a = _Attributes()
            if not self.x.XGetWindowAttributes(self.display, children[i], ctypes.byref(a)) or \
                    a.map_state != _IS_VIEWABLE:
                continue
            name = ctypes.c_char_p()
            self.x.XFetchName(self.display, children[i], ctypes.byref(name))
            found.append(((name.value or b"").decode("latin-1"), a.x, a.y, a.width, a.height))
        if children:
            self.x.XFree(children)
        return found

    def rgb(self, x, y, width, height):
        """The screen's pixels in a rectangle: `height` rows of `width` RGB byte triples."""
        image = self.x.XGetImage(self.display, self.root, x, y, width, height, _ALL_PLANES, _Z_PIXMAP)
        if not image:
            raise RuntimeError("the screen cannot be read at %d,%d %dx%d" % (x, y, width, height))
        i = image.contents
        try:
            if i.bits_per_pixel != 32 or i.byte_order != 0 or \
                    (i.red_mask, i.green_mask, i.blue_mask) != (0xFF0000, 0xFF00, 0xFF):
                raise RuntimeError("only 32-bit xRGB screens are read (%d bits, byte order %d)"
                                   % (i.bits_per_pixel, i.byte_order))
            stride = i.bytes_per_line
            data = ctypes.string_at(i.data, stride * height)
        finally:
            # XDestroyImage is a macro; for an image from XGetImage it frees the pixels and the record.
            self.x.XFree(i.data)
            self.x.XFree(image)
        rows = []
        for row in range(height):
            line = data[row * stride: row * stride + width * 4]
            out = bytearray(width * 3)
            out[0::3], out[1::3], out[2::3] = line[2::4], line[1::4], line[0::4]
            rows.append(bytes(out))
        return rows

    def save_png(self, path):
        rows = self.rgb(0, 0, self.width, self.height)

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(b"".join(b"\0" + r for r in rows), 6)) + chunk(b"IEND", b"")
        # Whole or not at all: runs side by side save their screens under one name.
        part = "%s.%d.part" % (path, os.getpid())
        try:
            with open(part, "wb") as f:
                f.write(png)
            os.replace(part, path)
        finally:
            # (an interrupted save leaves no part behind)
            if os.path.exists(part):
                os.remove(part)


def read_png(path):
    """(width, height, rows of RGB byte triples) of a PNG as save_png writes it (8-bit RGB, no filters)."""
    data = open(path, "rb").read()
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            idat += body
    raw = zlib.decompress(idat)
    stride = 1 + 3 * width
    return width, height, [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]


if __name__ == "__main__":
    import quiet_interrupt
    quiet_interrupt.install()
    if len(sys.argv) != 2:
        sys.exit("usage: xscreen.py out.png")
    Screen().save_png(sys.argv[1])
