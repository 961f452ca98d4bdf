#pragma once
// A sink that passes every call of the mesh stream on to another sink: the
// base of the sinks that sit in front of a writer and change only part of
// the stream (they override just that part).

#include <cstdint>

#include "mesh/mesh_sink.h"

namespace morvale {

class ForwardingSink : public MeshSink {
public:
    explicit ForwardingSink(MeshSink& to) : to_(to) {}

    bool acceptsVerticesAhead() override { return to_.acceptsVerticesAhead(); }
    bool acceptsPlanes(const PlaneLattice& lattice) override { return to_.acceptsPlanes(lattice); }
    bool acceptsFaceRanges() override { return to_.acceptsFaceRanges(); }
    bool acceptsTriangleBatches() override { return to_.acceptsTriangleBatches(); }
    bool wantsOutline() override { return to_.wantsOutline(); }
    void begin(const MeshInfo& info) override { to_.begin(info); }
    void vertices(const VertexBatch& batch) override { to_.vertices(batch); }
    void planes(const PlaneBatch& batch) override { to_.planes(batch); }
    void writingStage() override { to_.writingStage(); }
    void keepVertices(std::int64_t count) override { to_.keepVertices(count); }
    void endVertices() override { to_.endVertices(); }
    void faces(const FaceBatch& batch) override { to_.faces(batch); }
    void settled(std::int64_t vertex) override { to_.settled(vertex); }
    MeshWritten end() override { return to_.end(); }

protected:
    MeshSink& to() { return to_; }

private:
    MeshSink& to_;
};

}  // namespace morvale
