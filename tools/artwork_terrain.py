"""A small made-up landscape and the three ways the pictures show it:
a shaded continuous mesh, separate flat plates, and a top view of its cells.
"""

import math

from artwork_canvas import mix, darker, lighter

# Elevation colours from the valley floor to the summit.
RAMP = [
    (0.00, (64, 134, 142)),
    (0.30, (92, 160, 118)),
    (0.55, (150, 184, 108)),
    (0.78, (205, 190, 132)),
    (1.00, (238, 232, 218)),
]

LIGHT = (-0.50, -0.40, 0.75)  # from the upper left, over the viewer's shoulder


def ramp(t):
    t = min(1.0, max(0.0, t))
    for (t0, c0), (t1, c1) in zip(RAMP, RAMP[1:]):
        if t <= t1:
            return mix(c0, c1, (t - t0) / (t1 - t0))
    return RAMP[-1][1]


def bump(x, y, cx, cy, sx, sy, height):
    return height * math.exp(-(((x - cx) / sx) ** 2 + ((y - cy) / sy) ** 2))


def elevation(x, y):
    """Height in 0..1 over a field x in 0..2.6, y in 0..1 (y grows away from the viewer)."""
    h = (
        bump(x, y, 1.45, 0.58, 0.42, 0.34, 1.00)
        + bump(x, y, 0.62, 0.70, 0.30, 0.28, 0.55)
        + bump(x, y, 2.15, 0.45, 0.30, 0.30, 0.42)
        + 0.06 * math.sin(3.1 * x + 1.3) * math.cos(2.3 * y)
    )
    return max(0.0, min(1.0, h / 1.08 + 0.04))


def normalise(v):
    length = math.sqrt(sum(c * c for c in v)) or 1.0
    return tuple(c / length for c in v)


def shade(colour, normal, strength=0.55):
    light = normalise(LIGHT)
    lambert = max(0.0, sum(a * b for a, b in zip(normalise(normal), light)))
    factor = (1.0 - strength) + strength * lambert * 1.25
    if factor >= 1.0:
        return lighter(colour, min(0.5, factor - 1.0))
    return darker(colour, 1.0 - factor)


class View:
    """A fixed oblique view of the field fitted into a rectangle of the picture."""

    def __init__(self, box, field_w=2.6, field_d=1.0, z_scale=0.55, azimuth=12.0, tilt=32.0):
        self.a = math.radians(azimuth)
        self.t = math.radians(tilt)
        self.z_scale = z_scale
        # Fit the landscape itself, not its bounding box, so it fills the rectangle.
        steps = 40
        samples = [
            (field_w * i / steps, field_d * j / steps)
            for i in range(steps + 1)
            for j in range(steps + 1)
        ]
        raw = [self._raw(x, y, elevation(x, y)) for x, y in samples]
        raw += [self._raw(x, y, 0.0) for x in (0, field_w) for y in (0, field_d)]
        min_x = min(p[0] for p in raw)
        max_x = max(p[0] for p in raw)
        min_y = min(p[1] for p in raw)
        max_y = max(p[1] for p in raw)
        x0, y0, x1, y1 = box
        self.s = min((x1 - x0) / (max_x - min_x), (y1 - y0) / (max_y - min_y))
        self.ox = x0 + ((x1 - x0) - (max_x - min_x) * self.s) / 2 - min_x * self.s
        self.oy = y0 + ((y1 - y0) - (max_y - min_y) * self.s) / 2 - min_y * self.s

    def _raw(self, x, y, z):
        sx = x * math.cos(self.a) - y * math.sin(self.a)
        depth = x * math.sin(self.a) + y * math.cos(self.a)
        up = depth * math.sin(self.t) + z * self.z_scale * math.cos(self.t)
        return sx, -up

    def depth(self, x, y):
        return x * math.sin(self.a) + y * math.cos(self.a)

    def point(self, x, y, z):
        sx, sy = self._raw(x, y, z)
        return (self.ox + sx * self.s, self.oy + sy * self.s)


def draw_surface(canvas, box, columns=26, rows=10, line_width=0.7, line_tone=0.32):
    """A continuous triangulated surface with its wireframe, drawn back to front."""
    view = View(box)
    dx, dy = 2.6 / columns, 1.0 / rows
    heights = [[elevation(i * dx, j * dy) for i in range(columns + 1)] for j in range(rows + 1)]
    cells = []
    for j in range(rows):
        for i in range(columns):
            cells.append((view.depth((i + 0.5) * dx, (j + 0.5) * dy), i, j))
    for _depth, i, j in sorted(cells, reverse=True):
        corners = [(i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1)]
        world = [(a * dx, b * dy, heights[b][a] * view.z_scale) for a, b in corners]
        # Two triangles per cell, split along one diagonal, each shaded on its own.
        for tri in ((0, 1, 2), (0, 2, 3)):
            p = [world[k] for k in tri]
            u = [p[1][m] - p[0][m] for m in range(3)]
            v = [p[2][m] - p[0][m] for m in range(3)]
            n = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
            if n[2] < 0:
                n = tuple(-c for c in n)
            mean = sum(heights[corners[k][1]][corners[k][0]] for k in tri) / 3
            colour = shade(ramp(mean), n)
            pts = [view.point(a * dx, b * dy, heights[b][a]) for a, b in (corners[k] for k in tri)]
            canvas.polygon(pts, fill=colour, outline=colour, width=0.35)
        outline = [view.point(a * dx, b * dy, heights[b][a]) for a, b in corners]
        mean = sum(heights[b][a] for a, b in corners) / 4
        canvas.polygon(outline, outline=darker(ramp(mean), line_tone), width=line_width)


def draw_plates(canvas, box, columns=13, rows=5, gap=0.10, thickness=0.05):
    """The same field as flat square plates, one per cell, each at its own height."""
    view = View(box)
    dx, dy = 2.6 / columns, 1.0 / rows
    cells = []
    for j in range(rows):
        for i in range(columns):
            cx, cy = (i + 0.5) * dx, (j + 0.5) * dy
            cells.append((view.depth(cx, cy), i, j, elevation(cx, cy)))
    for _depth, i, j, h in sorted(cells, reverse=True):
        x0, x1 = (i + gap / 2) * dx, (i + 1 - gap / 2) * dx
        y0, y1 = (j + gap / 2) * dy, (j + 1 - gap / 2) * dy
        base = max(0.0, h - thickness / view.z_scale)
        colour = ramp(h)
        top = [view.point(x0, y0, h), view.point(x1, y0, h), view.point(x1, y1, h), view.point(x0, y1, h)]
        front = [view.point(x0, y0, h), view.point(x1, y0, h), view.point(x1, y0, base), view.point(x0, y0, base)]
        side = [view.point(x1, y0, h), view.point(x1, y1, h), view.point(x1, y1, base), view.point(x1, y0, base)]
        edge = darker(colour, 0.38)
        canvas.polygon(side, fill=darker(colour, 0.30), outline=edge, width=0.5)
        canvas.polygon(front, fill=darker(colour, 0.20), outline=edge, width=0.5)
        canvas.polygon(top, fill=shade(colour, (0, 0, 1), 0.25), outline=edge, width=0.6)


def cell_colour(i, j, columns, rows):
    """Top-view colour of one cell: elevation tint with a little hill shading."""
    x, y = (i + 0.5) / columns * 2.6, 1.0 - (j + 0.5) / rows
    e = 0.02
    gx = (elevation(x + e, y) - elevation(x - e, y)) / (2 * e)
    gy = (elevation(x, y + e) - elevation(x, y - e)) / (2 * e)
    return shade(ramp(elevation(x, y)), (-gx * 0.35, -gy * 0.35, 1.0), 0.45)
