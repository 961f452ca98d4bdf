"""Flat rounded action buttons with a small glyph and a word, in four states.

normal   - the base colour, raised by a soft lower edge
hot      - noticeably lighter, with a bright top rim
pressed  - darker and one pixel lower, the raised edge gone
disabled - flat grey with low-contrast grey ink
"""

from artwork_canvas import (
    Canvas,
    DISABLED_EDGE,
    DISABLED_FILL,
    DISABLED_INK,
    WHITE,
    darker,
    draw_text,
    font,
    lighter,
    text_size,
)

STATES = ("normal", "hot", "pressed", "disabled")
GLYPH = 16  # glyph box edge in pixels
GAP = 8  # between glyph and word


def state_colours(base, state):
    """(top fill, bottom fill, edge, ink) for one state of a button of the given colour."""
    if state == "disabled":
        return DISABLED_FILL, DISABLED_FILL, DISABLED_EDGE, DISABLED_INK
    if state == "hot":
        fill = lighter(base, 0.18)
        return lighter(fill, 0.12), fill, darker(base, 0.05), WHITE
    if state == "pressed":
        fill = darker(base, 0.24)
        return darker(fill, 0.08), fill, darker(base, 0.40), WHITE
    return lighter(base, 0.08), base, darker(base, 0.22), WHITE


# Glyphs are drawn in a GLYPH x GLYPH box whose top-left corner is (x, y).


def glyph_folder(c, x, y, ink):
    back = [(x + 1, y + 3), (x + 6, y + 3), (x + 7.5, y + 5), (x + 15, y + 5), (x + 15, y + 14), (x + 1, y + 14)]
    c.polygon(back, fill=None, outline=ink, width=1.4)
    front = [(x + 3.5, y + 8), (x + 15.8, y + 8), (x + 14, y + 14), (x + 1, y + 14)]
    c.polygon(front, fill=ink, outline=ink, width=1.0)


def glyph_reset(c, x, y, ink):
    c.arc((x + 1.5, y + 1.5, x + 15.5, y + 15.5), 30, 320, ink, width=2.0)
    # Arrow head at the upper end of the arc, pointing along it.
    c.polygon([(x + 15.6, y + 1.0), (x + 15.6, y + 7.2), (x + 9.4, y + 7.2)], fill=ink)


def glyph_save(c, x, y, ink):
    body = [(x + 1.5, y + 1.5), (x + 12, y + 1.5), (x + 15, y + 4.5), (x + 15, y + 15), (x + 1.5, y + 15)]
    c.polygon(body, fill=None, outline=ink, width=1.4)
    c.rounded((x + 4.5, y + 1.5, x + 11, y + 6), 0.5, fill=ink)
    c.rounded((x + 4, y + 9.5, x + 12.5, y + 15), 1.0, fill=ink)


def glyph_convert(c, x, y, ink):
    # A small wireframe cube: the mesh the grid becomes.
    top = [(x + 8.5, y + 1.2), (x + 15.2, y + 4.6), (x + 8.5, y + 8), (x + 1.8, y + 4.6)]
    c.polygon(top, fill=ink, outline=ink, width=1.3)
    c.line([(x + 1.8, y + 4.6), (x + 1.8, y + 11.6), (x + 8.5, y + 15.2), (x + 15.2, y + 11.6), (x + 15.2, y + 4.6)], ink, 1.4)
    c.line([(x + 8.5, y + 8), (x + 8.5, y + 15.2)], ink, 1.4)


def glyph_cancel(c, x, y, ink):
    c.ellipse((x + 1, y + 1, x + 16, y + 16), outline=ink, width=1.6)
    c.line([(x + 5.6, y + 5.6), (x + 11.4, y + 11.4)], ink, 1.8)
    c.line([(x + 11.4, y + 5.6), (x + 5.6, y + 11.4)], ink, 1.8)


def glyph_options(c, x, y, ink):
    # Three sliders: the settings of the mesh.
    for row, knob in ((3, 5), (8, 11), (13, 7)):
        c.line([(x + 1, y + row), (x + 15, y + row)], ink, 1.6)
        c.ellipse((x + knob - 2.2, y + row - 2.2, x + knob + 2.2, y + row + 2.2), outline=ink, fill=ink, width=1.0)


GLYPHS = {
    "folder": glyph_folder,
    "reset": glyph_reset,
    "save": glyph_save,
    "convert": glyph_convert,
    "cancel": glyph_cancel,
    "options": glyph_options,
}


def action_button(width, height, word, glyph, base, state, font_size=15):
    """One picture of an action button: rounded body, glyph and word centred together."""
    top, bottom, edge, ink = state_colours(base, state)
    c = Canvas(width, height)
    radius = 6
    drop = 1 if state == "pressed" else 0
    body = (1, 1 + drop, width - 1, height - 2 + drop)
    if state in ("normal", "hot"):
        # The lower edge that makes the button look raised.
        c.rounded((1, 2, width - 1, height - 1), radius, fill=darker(bottom, 0.30))
    c.rounded(body, radius, fill=edge)
    c.rounded_gradient((body[0] + 1, body[1] + 1, body[2] - 1, body[3] - 1), radius - 1, top, bottom)
    if state == "hot":
        c.line([(body[0] + radius, body[1] + 1.6), (body[2] - radius, body[1] + 1.6)], lighter(top, 0.45), 1.0)
    if state == "pressed":
        c.line([(body[0] + radius - 1, body[1] + 1.6), (body[2] - radius + 1, body[1] + 1.6)], darker(top, 0.25), 1.2)

    face = font("bold", font_size)
    text_w, _ = text_size(word, face)
    total = GLYPH + GAP + text_w
    left = (width - total) / 2
    middle = (body[1] + body[3]) / 2
    GLYPHS[glyph](c, left, middle - GLYPH / 2, ink)
    image = c.finish()
    draw_text(image, (round(left + GLYPH + GAP), round(middle)), word, face, ink, anchor="lm")
    return image
