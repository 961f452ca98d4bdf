#pragma once
// The Interpolated mode: one continuous surface whose shared corner vertices
// carry the mean of the cells around them.
//
// Three stages: reading the body (with the vertex block handed over at once
// when the sink takes it ahead and the elevations need no centring),
// meshing (counting the vertices and faces row by row), and writing (the
// vertices, when not handed over ahead, then the faces), each with its
// progress stage and steps. A cancel stops the reading at the next value,
// the meshing after the current row, the writing before the next line.

#include "mesh/mesh_sink.h"
#include "mesh/terrain_job.h"

namespace morvale {

TerrainBuilt buildInterpolatedMesh(const TerrainJob& job, MeshSink& sink);

}  // namespace morvale
