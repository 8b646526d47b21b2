"""A window made by someone else, as a screen-saver daemon makes one for its hack: creates and maps
an override-redirect window of WIDTH x HEIGHT at X,Y, prints its id, then reads commands from
standard input: `resize W H`, `destroy`, `shot FILE` (the window's pixels as a binary PPM),
`quit`. Exit status 2 when the display cannot be opened."""
import ctypes
import sys

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XBlackPixel.restype = ctypes.c_ulong
x11.XBlackPixel.argtypes = [ctypes.c_void_p, ctypes.c_int]


class XSetWindowAttributes(ctypes.Structure):
    _fields_ = [("background_pixmap", ctypes.c_ulong), ("background_pixel", ctypes.c_ulong),
                ("border_pixmap", ctypes.c_ulong), ("border_pixel", ctypes.c_ulong),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("event_mask", ctypes.c_long),
                ("do_not_propagate_mask", ctypes.c_long), ("override_redirect", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("cursor", ctypes.c_ulong)]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


CW_BACK_PIXEL = 1 << 1
CW_OVERRIDE_REDIRECT = 1 << 9
x11.XCreateWindow.restype = ctypes.c_ulong
x11.XCreateWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_int, ctypes.c_uint, ctypes.c_void_p,
                              ctypes.c_ulong, ctypes.POINTER(XSetWindowAttributes)]
x11.XMapRaised.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XResizeWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_uint, ctypes.c_uint]
x11.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XGetImage.restype = ctypes.POINTER(XImage)
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                          ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XGetPixel = None

display = x11.XOpenDisplay(None)
if not display:
    sys.exit(2)
width, height = int(sys.argv[1]), int(sys.argv[2])
x, y = (int(sys.argv[3]), int(sys.argv[4])) if len(sys.argv) > 4 else (0, 0)
attributes = XSetWindowAttributes()
attributes.background_pixel = x11.XBlackPixel(display, 0)
attributes.override_redirect = 1
window = x11.XCreateWindow(display, x11.XDefaultRootWindow(display), x, y, width, height, 0, 0, 1, None,
                           CW_BACK_PIXEL | CW_OVERRIDE_REDIRECT, ctypes.byref(attributes))
x11.XMapRaised(display, window)
x11.XSync(display, 0)
print(hex(window), flush=True)

for line in sys.stdin:
    words = line.split()
    if not words:
        continue
    if words[0] == "resize":
        width, height = int(words[1]), int(words[2])
        x11.XResizeWindow(display, window, width, height)
    elif words[0] == "destroy":
        x11.XDestroyWindow(display, window)
    elif words[0] == "shot":
        # Only the 32-bit ZPixmap layout of a 24-bit TrueColor server is read.
        image = x11.XGetImage(display, window, 0, 0, width, height, 0xFFFFFFFF, 2).contents
        rows = bytearray()
        for row in range(image.height):
            base = row * image.bytes_per_line
            line_bytes = ctypes.string_at(ctypes.addressof(image.data.contents) + base, image.width * 4)
            for i in range(0, len(line_bytes), 4):
                rows += bytes((line_bytes[i + 2], line_bytes[i + 1], line_bytes[i]))
        with open(words[1], "wb") as f:
            f.write(b"P6 %d %d 255\n" % (image.width, image.height) + bytes(rows))
    elif words[0] == "quit":
        break
    x11.XSync(display, 0)
    print("done", flush=True)
