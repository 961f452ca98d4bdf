"""The application icon: a blue-green tile carrying a low-poly mountain.

The mountain is a fan of flat-shaded triangles, the mesh the program makes;
the smallest sizes show its plain silhouette so the mark stays readable.
"""

from artwork_canvas import Canvas, mix

TILE_TOP = (58, 138, 196)
TILE_BOTTOM = (36, 116, 108)
LIT = (252, 253, 253)
SHADED = (186, 222, 214)

# Points of the mark on a unit square: two peaks and a saddle over a flat base.
P = {
    "b0": (0.12, 0.80),
    "b1": (0.38, 0.80),
    "b2": (0.62, 0.80),
    "b3": (0.88, 0.80),
    "m1": (0.24, 0.58),
    "p1": (0.38, 0.36),
    "s": (0.50, 0.52),
    "p2": (0.66, 0.20),
    "m2": (0.78, 0.55),
}
# Facets with whether they face the light (left-lit).
FACETS = [
    (("b0", "m1", "b1"), True),
    (("m1", "p1", "b1"), True),
    (("p1", "s", "b1"), False),
    (("s", "b2", "b1"), True),
    (("s", "p2", "b2"), True),
    (("p2", "m2", "b2"), False),
    (("m2", "b3", "b2"), False),
]
SILHOUETTE = ["b0", "m1", "p1", "s", "p2", "m2", "b3"]


def app_icon(size):
    c = Canvas(size, size, background=(0, 0, 0, 0))
    margin = 0 if size <= 24 else size / 32
    tile = (margin, margin, size - margin, size - margin)
    c.rounded_gradient(tile, size * 0.20, TILE_TOP, TILE_BOTTOM)
    inner = size - 2 * margin

    def at(name):
        x, y = P[name]
        return (margin + x * inner, margin + (y + 0.02) * inner)

    if size < 32:
        c.polygon([at(n) for n in SILHOUETTE], fill=LIT)
    else:
        for names, lit in FACETS:
            c.polygon([at(n) for n in names], fill=LIT if lit else SHADED)
        seam = mix(SHADED, TILE_BOTTOM, 0.25)
        width = max(0.8, size / 64)
        for a, b in (("m1", "b1"), ("p1", "b1"), ("s", "b1"), ("s", "b2"), ("p2", "b2"), ("m2", "b2")):
            c.line([at(a), at(b)], seam, width)
    return c.finish()
