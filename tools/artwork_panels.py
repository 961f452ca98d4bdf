"""The larger pictures: the two mode cards, the crop preview and the link card."""

from artwork_canvas import (
    ACCENT,
    Canvas,
    INK,
    MUTED_INK,
    WHITE,
    darker,
    draw_text,
    font,
    greyed,
    lighter,
    mix,
)
from artwork_terrain import cell_colour, draw_plates, draw_surface

CARD_BG = (252, 253, 254)
CARD_EDGE = (200, 206, 212)


def mode_card(width, height, draw_terrain, selected):
    """A mode picture: the terrain on a card, blue-edged when selected, grey when not."""
    c = Canvas(width, height)
    if selected:
        c.rounded((1, 1, width - 1, height - 1), 8, fill=ACCENT)
        c.rounded_gradient((3, 3, width - 3, height - 3), 6, (255, 255, 255), (226, 238, 248))
    else:
        c.rounded((1, 1, width - 1, height - 1), 8, fill=CARD_EDGE)
        c.rounded((2, 2, width - 2, height - 2), 7, fill=(246, 246, 246))
    draw_terrain(c, (12, 8, width - 12, height - 8))
    image = c.finish()
    if not selected:
        # Grey the whole card except its corners, which stay the window colour.
        image = greyed(image, 0.42, towards=(246, 246, 246))
        corners = Canvas(width, height, background=(0, 0, 0, 0))
        corners.rounded((1, 1, width - 1, height - 1), 8, fill=(255, 255, 255, 255))
        mask = corners.finish().getchannel("A")
        back = Canvas(width, height).finish()
        back.paste(image, (0, 0), mask)
        image = back
    return image


def interpolated_picture(selected):
    return mode_card(270, 100, draw_surface, selected)


def plates_picture(selected):
    return mode_card(270, 100, draw_plates, selected)


CROP_COLUMNS = 32
CROP_ROWS = 12
CROP_WINDOW = (7, 3, 23, 9)  # first column, first row, last column, last row (0-based, inclusive)


def crop_picture(cropping):
    """Top view of the grid's cells; when cropping, the window is bright and outlined."""
    width, height = 258, 100
    c = Canvas(width, height)
    c.rounded((0, 0, width, height), 0, fill=(160, 160, 160))
    left, top = 1, 2
    cell_w = (width - 2) / CROP_COLUMNS
    cell_h = (height - 4) / CROP_ROWS
    c0, r0, c1, r1 = CROP_WINDOW
    for j in range(CROP_ROWS):
        for i in range(CROP_COLUMNS):
            colour = cell_colour(i, j, CROP_COLUMNS, CROP_ROWS)
            inside = c0 <= i <= c1 and r0 <= j <= r1
            if cropping and not inside:
                colour = mix(colour, (236, 238, 240), 0.62)
            x, y = left + i * cell_w, top + j * cell_h
            line = lighter(colour, 0.35)
            c.rounded((x, y, x + cell_w, y + cell_h), 0, fill=line)
            c.rounded((x + 0.5, y + 0.5, x + cell_w - 0.5, y + cell_h - 0.5), 0.6, fill=colour)
    c.rounded((0, 0, width, 2), 0, fill=(160, 160, 160))
    c.rounded((0, height - 2, width, height), 0, fill=(160, 160, 160))
    if cropping:
        box = (left + c0 * cell_w, top + r0 * cell_h, left + (c1 + 1) * cell_w, top + (r1 + 1) * cell_h)
        c.rounded((box[0] - 1.5, box[1] - 1.5, box[2] + 1.5, box[3] + 1.5), 1.5, outline=WHITE, width=1.2)
        c.rounded((box[0] - 1, box[1] - 1, box[2] + 1, box[3] + 1), 1, outline=ACCENT, width=2.0)
        for hx, hy in ((box[0], box[1]), (box[2], box[1]), (box[0], box[3]), (box[2], box[3])):
            c.rounded((hx - 3, hy - 3, hx + 3, hy + 3), 1, fill=WHITE)
            c.rounded((hx - 2, hy - 2, hx + 2, hy + 2), 0.5, fill=ACCENT)
    image = c.finish()
    # A plain one-pixel frame, like the grey frame the picture covers.
    frame = Canvas(width, height, background=(0, 0, 0, 0))
    frame.rounded((0, 0, width, height), 0, outline=(150, 150, 150), width=1)
    image.alpha_composite(frame.finish())
    if not cropping:
        image = greyed(image, 0.50)
    return image


LINK_STATES = ("normal", "hot", "pressed")


def link_picture(state):
    """The link card: the program's name under a small landscape, inviting a visit."""
    width, height = 200, 244
    drop = 1 if state == "pressed" else 0
    edge = {"normal": CARD_EDGE, "hot": ACCENT, "pressed": darker(ACCENT, 0.25)}[state]
    card_top = {"normal": (255, 255, 255), "hot": (255, 255, 255), "pressed": (228, 234, 240)}[state]
    card_bottom = {"normal": (241, 244, 247), "hot": (230, 240, 250), "pressed": (218, 226, 234)}[state]

    c = Canvas(width, height)
    if state != "pressed":
        c.rounded((1, 2, width - 1, height - 1), 10, fill=(208, 212, 216))
    body = (1, 1 + drop, width - 1, height - 2 + drop)
    c.rounded(body, 10, fill=edge)
    inset = 2 if state != "normal" else 1
    c.rounded_gradient((body[0] + inset, body[1] + inset, body[2] - inset, body[3] - inset), 10 - inset, card_top, card_bottom)

    # The landscape window.
    scene = (12, 12 + drop, width - 12, 128 + drop)
    sky_top = (196, 222, 242) if state != "pressed" else (176, 204, 228)
    c.rounded_gradient(scene, 6, sky_top, (240, 246, 250))
    c.ellipse((scene[2] - 40, scene[1] + 12, scene[2] - 24, scene[1] + 28), fill=(250, 236, 190))
    draw_surface(c, (scene[0] + 4, scene[1] + 22, scene[2] - 4, scene[3] - 6), columns=22, rows=10, line_width=0.5, line_tone=0.25)
    c.rounded(scene, 6, outline=(188, 200, 212), width=1)

    # The invitation at the foot of the card.
    pill = (36, 200 + drop, width - 36, 224 + drop)
    if state == "normal":
        c.rounded(pill, 12, outline=ACCENT, width=1.2)
        pill_ink = ACCENT
    else:
        c.rounded(pill, 12, fill=ACCENT if state == "hot" else darker(ACCENT, 0.25))
        pill_ink = WHITE
    image = c.finish()

    name = font("bold", 30)
    draw_text(image, (width // 2, 156 + drop), "Morvale", name, INK, anchor="mm")
    small = font("regular", 11)
    draw_text(image, (width // 2, 182 + drop), "ASCII grid to OBJ  \u00b7  v0.4", small, MUTED_INK, anchor="mm")
    link = font("bold", 11)
    draw_text(image, (width // 2, (pill[1] + pill[3]) // 2), "Visit the website \u203a", link, pill_ink, anchor="mm")
    return image
