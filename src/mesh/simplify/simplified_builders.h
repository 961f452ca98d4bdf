#pragma once
// The two builders with simplification: the same cells as the full builders,
// read in one pass per simplifier pass, fed row by row into the terrain
// simplifier (Interpolated, triangles) or the plane merge (Floating planes,
// rectangles). Vertices are placed with the full builders' own arithmetic, so
// every vertex kept has the bytes of the full mesh's vertex.
//
// Texture coordinates and normals (TerrainJob::attributes): a kept vertex
// carries those of the same corner in the full mesh. Interpolated normals
// need two cells around the window, so the final pass reads that wider and
// feeds each corner line one cell row late; the normals of the lines of the
// band being simplified are kept until its vertices leave (24 bytes per
// window column and line, kBandCells + 2 lines). Merged planes take their
// corners' texture coordinates and share one up normal.
//
// --max-triangles reads the grid twice (the budget pass, then the chosen
// bound). Elevation centring is not offered: it would need one more pass for
// the elevation range, and the caller refuses it.

#include <cstdint>
#include <filesystem>

#include "mesh/mesh_sink.h"
#include "mesh/terrain_job.h"

namespace morvale {

struct SimplifyRequest {
    double maxError = 0.0;          // grid elevation units
    std::int64_t maxTriangles = 0;  // 0: no budget (Interpolated only)
    // Where faces wait past kFacesInMemory (Interpolated): a file the run
    // makes only then and always removes; empty keeps them all in memory.
    std::filesystem::path spoolPath;
};

struct SimplifiedBuilt {
    TerrainBuilt built;         // vertexCount and quadCount: what reached the output (faces: triangles or rectangles)
    double errorReached = 0.0;  // the largest vertical distance of a full-mesh vertex (Interpolated)
    bool budgetReachable = true;
};

SimplifiedBuilt buildSimplifiedInterpolatedMesh(const TerrainJob& job, const SimplifyRequest& request, MeshSink& sink);
SimplifiedBuilt buildMergedPlanesMesh(const TerrainJob& job, double maxError, MeshSink& sink);

}  // namespace morvale
