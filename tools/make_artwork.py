#!/usr/bin/python3
"""Draws every picture of the desktop window and writes the .ico files into resources/icons/.

Run with the system interpreter, /usr/bin/python3, which has PIL from Debian's
python3-pil package; the text uses DejaVu Sans from fonts-dejavu-core:

    /usr/bin/python3 tools/make_artwork.py [--sheet PICTURE.png]

The output is the same on every run. --sheet also writes a contact sheet of
all pictures, for looking at them side by side; keep it out of the work tree.
"""

import argparse
import os
import sys

from PIL import Image

from artwork_app_icon import app_icon
from artwork_buttons import action_button
from artwork_canvas import ACCENT, CANCEL, CONVERT, INK, WINDOW_BG, draw_text, font
from artwork_ico import write_ico
from artwork_panels import crop_picture, interpolated_picture, link_picture, plates_picture

APP_ICON_SIZES = (16, 24, 32, 48, 64, 256)


def button(width, word, glyph, colour, state, font_size):
    return lambda: action_button(width, 40, word, glyph, colour, state, font_size)


# (resource id, file name, maker) for every single-picture icon, in id order.
PICTURES = [
    (102, "open_normal", button(200, "Open grid", "folder", ACCENT, "normal", 15)),
    (103, "open_disabled", button(200, "Open grid", "folder", ACCENT, "disabled", 15)),
    (104, "open_hot", button(200, "Open grid", "folder", ACCENT, "hot", 15)),
    (105, "open_pressed", button(200, "Open grid", "folder", ACCENT, "pressed", 15)),
    (114, "link_normal", lambda: link_picture("normal")),
    (115, "link_hot", lambda: link_picture("hot")),
    (116, "link_pressed", lambda: link_picture("pressed")),
    (117, "interpolated_selected", lambda: interpolated_picture(True)),
    (118, "interpolated_unselected", lambda: interpolated_picture(False)),
    (119, "plates_selected", lambda: plates_picture(True)),
    (120, "plates_unselected", lambda: plates_picture(False)),
    (121, "crop_on", lambda: crop_picture(True)),
    (122, "crop_off", lambda: crop_picture(False)),
    (123, "reset_normal", button(118, "Reset", "reset", ACCENT, "normal", 14)),
    (124, "reset_disabled", button(118, "Reset", "reset", ACCENT, "disabled", 14)),
    (125, "reset_hot", button(118, "Reset", "reset", ACCENT, "hot", 14)),
    (126, "reset_pressed", button(118, "Reset", "reset", ACCENT, "pressed", 14)),
    (127, "saveas_normal", button(118, "Save as", "save", ACCENT, "normal", 14)),
    (128, "saveas_disabled", button(118, "Save as", "save", ACCENT, "disabled", 14)),
    (129, "saveas_hot", button(118, "Save as", "save", ACCENT, "hot", 14)),
    (130, "saveas_pressed", button(118, "Save as", "save", ACCENT, "pressed", 14)),
    (131, "convert_normal", button(118, "Convert", "convert", CONVERT, "normal", 14)),
    (132, "convert_disabled", button(118, "Convert", "convert", CONVERT, "disabled", 14)),
    (133, "convert_hot", button(118, "Convert", "convert", CONVERT, "hot", 14)),
    (134, "convert_pressed", button(118, "Convert", "convert", CONVERT, "pressed", 14)),
    (135, "cancel_normal", button(118, "Cancel", "cancel", CANCEL, "normal", 14)),
    (136, "cancel_hot", button(118, "Cancel", "cancel", CANCEL, "hot", 14)),
    (137, "cancel_pressed", button(118, "Cancel", "cancel", CANCEL, "pressed", 14)),
    (138, "options_normal", button(118, "Options", "options", ACCENT, "normal", 14)),
    (139, "options_disabled", button(118, "Options", "options", ACCENT, "disabled", 14)),
    (140, "options_hot", button(118, "Options", "options", ACCENT, "hot", 14)),
    (141, "options_pressed", button(118, "Options", "options", ACCENT, "pressed", 14)),
]


def icon_file_name(resource_id, name):
    return "%s_%d.ico" % (name, resource_id)


def contact_sheet(app_images, pictures):
    """All pictures on the window colour, each labelled with its resource id."""
    label = font("regular", 11)
    sheet = Image.new("RGBA", (900, 1090), WINDOW_BG + (255,))
    x, y, row_h = 12, 22, 0
    draw_text(sheet, (12, 4), "101", label, INK)
    for image in app_images:
        sheet.alpha_composite(image, (x, y))
        x += image.width + 12
    x, y = 12, y + 256 + 26
    for resource_id, name, image in pictures:
        if x + image.width > sheet.width - 12:
            x, y, row_h = 12, y + row_h + 24, 0
        draw_text(sheet, (x, y - 15), "%d %s" % (resource_id, name), label, INK)
        sheet.alpha_composite(image, (x, y))
        x += image.width + 14
        row_h = max(row_h, image.height)
    return sheet


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sheet", help="also write a contact sheet PNG to this path")
    args = parser.parse_args()

    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_dir = os.path.join(root, "resources", "icons")
    os.makedirs(out_dir, exist_ok=True)

    app_images = [app_icon(size) for size in APP_ICON_SIZES]
    write_ico(os.path.join(out_dir, icon_file_name(101, "app")), app_images)

    made = []
    for resource_id, name, maker in PICTURES:
        image = maker()
        write_ico(os.path.join(out_dir, icon_file_name(resource_id, name)), [image])
        made.append((resource_id, name, image))

    if args.sheet:
        contact_sheet(app_images, made).save(args.sheet)
    return 0


if __name__ == "__main__":
    sys.exit(main())
