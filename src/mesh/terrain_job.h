#pragma once
// What a mesh builder works from and what it reports: the grid, the crop
// window and the numbers of the settings, where the body cells come from,
// the cancel flag and the progress; the mesh itself goes to a MeshSink.

#include <atomic>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <type_traits>

#include "base/input_file.h"
#include "base/progress_reporter.h"
#include "grid/body_window.h"
#include "grid/cell_source.h"
#include "grid/grid_body.h"
#include "grid/grid_header.h"
#include "grid/wide_read.h"
#include "mesh/mesh_sink.h"
#include "mesh/texture_coords.h"

namespace morvale {

struct TerrainJob {
    const GridHeader* header = nullptr;
    CropWindow window;  // inside the grid
    bool useXllYllOffsets = false;
    bool centerZ = false;
    double unitScale = 1.0;
    // Vertical exaggeration: elevations are multiplied by it (after any
    // centring) as well as by the unit scale; x and y are not.
    double zScale = 1.0;
    // The body: `cells` when set, otherwise `input` positioned at dataStart
    // (null when it could not be positioned: no value is read).
    std::FILE* input = nullptr;
    std::int64_t bodyBytes = -1;  // bytes from dataStart to the end of input; -1 unknown
    const CellSource* cells = nullptr;
    const std::atomic<bool>* cancelRequested = nullptr;
    ProgressReporter* progress = nullptr;
    bool threaded = true;          // false: every stage on the calling thread
    AttributeSettings attributes;  // normals and texture coordinates to hand over with the vertices
    // The writing stage's text, which names the output format (the conversion
    // takes it from the writers' table).
    const char* writingStage = "Creating output *.OBJ file...";
};

// Output units per grid elevation unit.
inline double elevationScale(const TerrainJob& job) { return job.unitScale * job.zScale; }

enum class BuildFailure : std::uint8_t {
    none,
    vertexTable,  // the memory a run needs besides its quads is missing
    quadTable,    // the memory for the quads is missing
};

struct TerrainBuilt {
    BuildFailure failure = BuildFailure::none;
    GridBodyCounts counts;
    std::int64_t vertexCount = 0;  // what the summary reports
    std::int64_t quadCount = 0;
    bool written = false;  // the sink's verdict
};

// Ends the stream: the counts and the verdict are what reached the output.
inline void endStream(MeshSink& sink, TerrainBuilt& built) {
    const MeshWritten written = sink.end();
    built.vertexCount = written.vertices;
    built.quadCount = written.faces;
    built.written = written.ok;
}

inline bool hasBody(const TerrainJob& job) { return job.cells != nullptr || job.input != nullptr; }

// Reads the data cells of `window` and its one-cell ring, rows up to lastRow,
// calling onCell(row, col, value, inWindow) in file order: from the cell
// source when there is one, otherwise from the input file (inlined there).
template <class OnCell>
GridBodyCounts readBodyCells(const TerrainJob& job, const CropWindow& window, std::int32_t lastRow,
                             ProgressReporter& progress, OnCell&& onCell) {
    assert(job.header != nullptr && job.cancelRequested != nullptr);
    if (job.cells != nullptr) {
        CallingCellSink<std::remove_reference_t<OnCell>> sink(onCell);
        return job.cells->read(window, lastRow, *job.cancelRequested, progress, sink);
    }
    if (job.input == nullptr) return {};
    return readGridBody(job.input, *job.header, window, lastRow, *job.cancelRequested, progress, onCell);
}

// Reads the data cells two around `window` (what normals need) in file
// order, calling onCell as readBodyCells does, and returns the counts of
// `window` alone, as a plain read of it would. A tile's cell source counts only
// its own cells whatever it is asked for, so its counts stand as they are.
template <class OnCell>
GridBodyCounts readWideBodyCells(const TerrainJob& job, const CropWindow& window, ProgressReporter& progress,
                                 OnCell&& onCell) {
    const CropWindow reading = wideReadingWindow(window, job.header->ncols, job.header->nrows);
    std::int64_t cropDataCells = 0;
    const GridBodyCounts wide = readBodyCells(job, reading, wideLastRow(reading, job.header->nrows), progress,
                                              [&](std::int32_t row, std::int32_t col, double value, bool inReading) {
                                                  cropDataCells += row >= window.yMin && row <= window.yMax &&
                                                                   col >= window.xMin && col <= window.xMax;
                                                  onCell(row, col, value, inReading);
                                              });
    const bool ownCounts = job.cells != nullptr && !job.cells->countsTheWindowAsked();
    return ownCounts ? wide : cropCounts(wide, reading, window, cropDataCells);
}

}  // namespace morvale
