"""Palette, fonts and an oversampled drawing surface shared by the artwork.

Shapes are drawn at SCALE times the final size and reduced with a Lanczos
filter, which gives smooth edges; text is drawn afterwards at the final size
so that FreeType's own anti-aliasing keeps it crisp.
"""

import os
import sys

from PIL import Image, ImageDraw, ImageFont

SCALE = 4

# The window's face colour around every button picture.
WINDOW_BG = (240, 240, 240)

ACCENT = (47, 111, 160)  # calm blue: the ordinary action buttons
CONVERT = (46, 134, 104)  # teal green: the main action
CANCEL = (196, 74, 58)  # warm red: stopping a running job
INK = (44, 52, 62)
MUTED_INK = (112, 120, 130)
WHITE = (255, 255, 255)

DISABLED_FILL = (218, 218, 218)
DISABLED_EDGE = (198, 198, 198)
DISABLED_INK = (160, 160, 160)

# Standard Debian font folders; DejaVu comes from the fonts-dejavu-core package.
FONT_FOLDERS = ("/usr/share/fonts", "/usr/local/share/fonts")
FONT_FILES = {
    "regular": "DejaVuSans.ttf",
    "bold": "DejaVuSans-Bold.ttf",
}

_font_paths = {}


def find_font_file(file_name):
    for folder in FONT_FOLDERS:
        for root, _dirs, files in sorted(os.walk(folder)):
            if file_name in files:
                return os.path.join(root, file_name)
    return None


def font(weight, size):
    """Returns DejaVu Sans in the given weight ("regular" or "bold") and pixel size."""
    if weight not in _font_paths:
        path = find_font_file(FONT_FILES[weight])
        if path is None:
            sys.exit(
                "make_artwork: font %s not found under %s; install the Debian "
                "package fonts-dejavu-core" % (FONT_FILES[weight], " or ".join(FONT_FOLDERS))
            )
        _font_paths[weight] = path
    return ImageFont.truetype(_font_paths[weight], size)


def mix(a, b, t):
    """Linear blend of two RGB colours, t = 0 gives a, t = 1 gives b."""
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a[:3], b[:3]))


def lighter(colour, t):
    return mix(colour, WHITE, t)


def darker(colour, t):
    return mix(colour, (0, 0, 0), t)


def greyed(image, fade, towards=WINDOW_BG):
    """A grey, low-contrast copy of an RGBA picture: luminance blended towards a background."""
    rgb = image.convert("RGB")
    grey = rgb.convert("L").convert("RGB")
    flat = Image.new("RGB", image.size, towards)
    result = Image.blend(grey, flat, fade).convert("RGBA")
    result.putalpha(image.getchannel("A"))
    return result


class Canvas:
    """An oversampled RGBA surface addressed in final-size pixel coordinates."""

    def __init__(self, width, height, background=WINDOW_BG + (255,)):
        self.width = width
        self.height = height
        self.image = Image.new("RGBA", (width * SCALE, height * SCALE), background)
        self.draw = ImageDraw.Draw(self.image)

    @staticmethod
    def _box(box):
        x0, y0, x1, y1 = box
        return (x0 * SCALE, y0 * SCALE, x1 * SCALE - 1, y1 * SCALE - 1)

    @staticmethod
    def _points(points):
        return [(x * SCALE, y * SCALE) for x, y in points]

    def rounded(self, box, radius, fill=None, outline=None, width=1.0):
        self.draw.rounded_rectangle(
            self._box(box),
            radius=radius * SCALE,
            fill=fill,
            outline=outline,
            width=int(round(width * SCALE)) if outline else 0,
        )

    def rounded_gradient(self, box, radius, top, bottom):
        """Fills a rounded rectangle with a vertical gradient from top to bottom colour."""
        x0, y0, x1, y1 = [int(v) for v in self._box(box)]
        w, h = x1 - x0 + 1, y1 - y0 + 1
        column = Image.new("RGBA", (1, h))
        for y in range(h):
            column.putpixel((0, y), mix(top, bottom, y / max(1, h - 1)) + (255,))
        fill = column.resize((w, h))
        mask = Image.new("L", (w, h), 0)
        ImageDraw.Draw(mask).rounded_rectangle((0, 0, w - 1, h - 1), radius=radius * SCALE, fill=255)
        self.image.paste(fill, (x0, y0), mask)

    def polygon(self, points, fill=None, outline=None, width=1.0):
        pts = self._points(points)
        if fill is not None:
            self.draw.polygon(pts, fill=fill)
        if outline is not None:
            self.draw.line(pts + [pts[0]], fill=outline, width=max(1, int(round(width * SCALE))), joint="curve")

    def line(self, points, colour, width=1.0):
        self.draw.line(self._points(points), fill=colour, width=max(1, int(round(width * SCALE))), joint="curve")

    def ellipse(self, box, fill=None, outline=None, width=1.0):
        self.draw.ellipse(
            self._box(box),
            fill=fill,
            outline=outline,
            width=int(round(width * SCALE)) if outline else 0,
        )

    def arc(self, box, start, end, colour, width=1.0):
        self.draw.arc(self._box(box), start, end, fill=colour, width=max(1, int(round(width * SCALE))))

    def finish(self):
        return self.image.resize((self.width, self.height), Image.LANCZOS)


def text_size(text, face):
    left, top, right, bottom = face.getbbox(text)
    return right - left, bottom - top


def draw_text(image, position, text, face, colour, anchor="la"):
    ImageDraw.Draw(image).text(position, text, font=face, fill=colour, anchor=anchor)
