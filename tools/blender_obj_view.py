"""Loads an OBJ with Blender's own importer, reports what it sees, and can
render it with its material, and make a picture of a grid to drape on it.

Run headless:
  blender --background --factory-startup --python-exit-code 1 \
      --python tools/blender_obj_view.py -- [options]

Options (after the "--"):
  --obj FILE.obj      import it and print one line: "blender-obj vertices=N
                      uv_maps=NAMES custom_normals=yes|no images=NAMES"
  --expect-uv         fail when the imported mesh has no UV map
  --expect-normals    fail when it has no custom (imported) normals
  --render OUT.png    render the imported OBJ (Cycles on the CPU, a sun, an
                      oblique camera that frames the whole mesh)
  --make-image GRID.asc OUT.png
                      write a hypsometric picture of the grid (one square of
                      8 x 8 pixels per cell, north at the top, a dark line
                      every 10 cells, no-data cells grey) to drape with --texture
  --block N           pixels per cell side of --make-image (default 8)
  --hillshade         --make-image shades the colours with a hillshade (light
                      from the north-west, 45 degrees up) instead of lines
"""

import math
import sys

import bpy
import mathutils


def parse_arguments(argv):
    args = argv[argv.index("--") + 1:] if "--" in argv else []
    options = {"obj": None, "render": None, "make_image": None, "block": 8, "expect_uv": False,
               "expect_normals": False, "hillshade": False}
    k = 0
    while k < len(args):
        a = args[k]
        if a == "--obj":
            options["obj"] = args[k + 1]
            k += 2
        elif a == "--render":
            options["render"] = args[k + 1]
            k += 2
        elif a == "--make-image":
            options["make_image"] = (args[k + 1], args[k + 2])
            k += 3
        elif a == "--block":
            options["block"] = int(args[k + 1])
            k += 2
        elif a == "--hillshade":
            options["hillshade"] = True
            k += 1
        elif a == "--expect-uv":
            options["expect_uv"] = True
            k += 1
        elif a == "--expect-normals":
            options["expect_normals"] = True
            k += 1
        else:
            raise SystemExit("unknown option " + a)
    return options


def read_grid(path):
    """The cells of an ASCII grid, row 1 (north) first; None for no-data."""
    header = {}
    numbers = []
    with open(path, "r", encoding="latin-1") as f:
        for line in f:
            parts = line.split()
            if not parts:
                continue
            if not numbers and parts[0][0].isalpha() and parts[0].lower() != "nan" and len(header) < 7:
                header[parts[0].lower()] = parts[1] if len(parts) > 1 else ""
                continue
            for p in parts:
                try:
                    numbers.append(float(p))
                except ValueError:
                    break
    ncols, nrows = int(header["ncols"]), int(header["nrows"])
    cellsize = float(header.get("cellsize", "1"))
    nodata = float(header["nodata_value"]) if "nodata_value" in header else None
    cells = []
    for i in range(ncols * nrows):
        v = numbers[i] if i < len(numbers) else None
        if v is not None and (math.isnan(v) or (nodata is not None and abs(v - nodata) <= 1e-6)):
            v = None
        cells.append(v)
    return ncols, nrows, cellsize, cells


def hillshade(ncols, nrows, cellsize, cells):
    """Per cell 0..1: the surface lit from the north-west, 45 degrees up
    (central differences, one-sided beside no-data and the edge)."""
    light = (-0.5, 0.5, math.sqrt(0.5))

    def at(r, c):
        return cells[r * ncols + c] if 0 <= r < nrows and 0 <= c < ncols else None

    def slope(r, c, dr, dc):
        before, here, after = at(r - dr, c - dc), at(r, c), at(r + dr, c + dc)
        if before is not None and after is not None:
            return (after - before) / (2 * cellsize)
        if after is not None:
            return (after - here) / cellsize
        if before is not None:
            return (here - before) / cellsize
        return 0.0

    shade = [1.0] * (ncols * nrows)
    for r in range(nrows):
        for c in range(ncols):
            if at(r, c) is None:
                continue
            east = slope(r, c, 0, 1)
            north = -slope(r, c, 1, 0)  # rows run south
            length = math.sqrt(east * east + north * north + 1.0)
            lit = (-east * light[0] - north * light[1] + light[2]) / length
            shade[r * ncols + c] = max(0.0, lit)
    return shade


def hypsometric(t):
    """Green lowlands, yellow and brown slopes, white tops."""
    stops = [(0.0, (0.16, 0.42, 0.20)), (0.35, (0.55, 0.70, 0.30)), (0.6, (0.85, 0.78, 0.45)),
             (0.85, (0.55, 0.38, 0.22)), (1.0, (0.97, 0.97, 0.97))]
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            f = (t - t0) / (t1 - t0) if t1 > t0 else 0.0
            return tuple(a + (b - a) * f for a, b in zip(c0, c1))
    return stops[-1][1]


def make_image(grid_path, out_path, block=8, shaded=False):
    ncols, nrows, cellsize, cells = read_grid(grid_path)
    shade = hillshade(ncols, nrows, cellsize, cells) if shaded else None
    present = [v for v in cells if v is not None]
    low, high = (min(present), max(present)) if present else (0.0, 1.0)
    span = high - low if high > low else 1.0
    width, height = ncols * block, nrows * block
    pixels = [0.0] * (width * height * 4)
    for r in range(nrows):
        for c in range(ncols):
            v = cells[r * ncols + c]
            colour = (0.5, 0.5, 0.5) if v is None else hypsometric((v - low) / span)
            if shade is not None:
                f = 0.3 + 0.7 * shade[r * ncols + c]
                colour = tuple(x * f for x in colour)
            for y in range(block):
                # Blender images start at the bottom row: grid row 1 goes to the top.
                py = (nrows - 1 - r) * block + y
                for x in range(block):
                    line = shade is None and ((c % 10 == 0 and x == 0) or (r % 10 == 0 and y == block - 1))
                    rgb = (0.08, 0.08, 0.1) if line else colour
                    at = (py * width + c * block + x) * 4
                    pixels[at:at + 4] = [rgb[0], rgb[1], rgb[2], 1.0]
    image = bpy.data.images.new("drape", width, height, alpha=False)
    image.pixels = pixels
    image.filepath_raw = out_path
    image.file_format = "PNG"
    image.save()
    print("blender-image %s %dx%d elevations %g..%g" % (out_path, width, height, low, high))


def import_obj(path):
    if hasattr(bpy.ops.wm, "obj_import"):
        bpy.ops.wm.obj_import(filepath=path)
    else:
        bpy.ops.import_scene.obj(filepath=path)
    meshes = [o for o in bpy.context.scene.objects if o.type == "MESH"]
    if not meshes:
        raise RuntimeError("no mesh imported from " + path)
    return meshes


def report(meshes):
    vertices = sum(len(o.data.vertices) for o in meshes)
    uv_maps = sorted({uv.name for o in meshes for uv in o.data.uv_layers})
    normals = all(o.data.has_custom_normals for o in meshes)
    images = sorted({n.image.name for o in meshes for slot in o.material_slots if slot.material and
                     slot.material.use_nodes for n in slot.material.node_tree.nodes
                     if n.type == "TEX_IMAGE" and n.image})
    print("blender-obj vertices=%d uv_maps=%s custom_normals=%s images=%s" %
          (vertices, ",".join(uv_maps) or "-", "yes" if normals else "no", ",".join(images) or "-"))
    return uv_maps, normals


def render(meshes, out_path):
    scene = bpy.context.scene
    # Smooth shading with the imported normals (Blender before 4.1 uses them only with auto smooth).
    for o in meshes:
        for polygon in o.data.polygons:
            polygon.use_smooth = True
        if hasattr(o.data, "use_auto_smooth"):
            o.data.use_auto_smooth = True
            o.data.auto_smooth_angle = math.pi
    corners = [o.matrix_world @ mathutils.Vector(c) for o in meshes for c in o.bound_box]
    low = mathutils.Vector([min(c[i] for c in corners) for i in range(3)])
    high = mathutils.Vector([max(c[i] for c in corners) for i in range(3)])
    centre = (low + high) / 2
    size = (high - low).length

    camera_data = bpy.data.cameras.new("camera")
    camera_data.lens = 40
    camera_data.clip_end = size * 10
    camera = bpy.data.objects.new("camera", camera_data)
    scene.collection.objects.link(camera)
    camera.location = centre + mathutils.Vector((0.55, -0.95, 0.75)).normalized() * size * 1.4
    camera.rotation_euler = (centre - camera.location).to_track_quat("-Z", "Y").to_euler()
    scene.camera = camera

    sun_data = bpy.data.lights.new("sun", "SUN")
    sun_data.energy = 4.0
    sun = bpy.data.objects.new("sun", sun_data)
    sun.rotation_euler = (math.radians(50), 0.0, math.radians(-40))
    scene.collection.objects.link(sun)
    world = bpy.data.worlds.new("sky")
    world.use_nodes = True
    world.node_tree.nodes["Background"].inputs[0].default_value = (0.55, 0.65, 0.8, 1.0)
    world.node_tree.nodes["Background"].inputs[1].default_value = 0.6
    scene.world = world

    scene.render.engine = "CYCLES"
    scene.cycles.device = "CPU"
    scene.cycles.samples = 24
    scene.cycles.use_denoising = False
    scene.render.resolution_x = 960
    scene.render.resolution_y = 600
    scene.render.filepath = out_path
    scene.render.image_settings.file_format = "PNG"
    bpy.ops.render.render(write_still=True)
    print("blender-render " + out_path)


def main():
    options = parse_arguments(sys.argv)
    if options["make_image"]:
        make_image(*options["make_image"], block=options["block"], shaded=options["hillshade"])
    if not options["obj"]:
        return
    bpy.ops.wm.read_factory_settings(use_empty=True)
    meshes = import_obj(options["obj"])
    uv_maps, normals = report(meshes)
    if options["expect_uv"] and not uv_maps:
        raise RuntimeError("no UV map on " + options["obj"])
    if options["expect_normals"] and not normals:
        raise RuntimeError("no imported normals on " + options["obj"])
    if options["render"]:
        render(meshes, options["render"])


main()
