#pragma once
// The Floating planes mode: one flat square quad of four own vertices per
// cell with data. Two stages: reading the body, each cell's vertices handed
// over as it is read, then the faces (the i-th kept cell owns the vertices
// 4i - 3 to 4i).

#include "mesh/mesh_sink.h"
#include "mesh/terrain_job.h"

namespace morvale {

TerrainBuilt buildFloatingPlanesMesh(const TerrainJob& job, MeshSink& sink);

}  // namespace morvale
