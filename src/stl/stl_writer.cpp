#include "stl/stl_writer.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "mesh/axis_order.h"

namespace morvale {

namespace {
constexpr std::size_t headerBytes = 80;
constexpr std::int64_t countOffset = 80;
constexpr std::int64_t triangleLimit = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t cornerBytes = 12;
// Not "solid ...": some readers take a file starting so for ASCII STL.
constexpr char headerText[] = "Binary STL written by Morvale";
}  // namespace

bool stlFits(std::int64_t faces, int faceCorners) {
    const std::int64_t trianglesPerFace = faceCorners == 4 ? 2 : 1;
    return faces <= triangleLimit / trianglesPerFace;
}

StlWriter::StlWriter(const std::atomic<bool>* cancelRequested, ProgressReporter* progress) {
    gate_.cancelRequested = cancelRequested;
    gate_.progress = progress;
}

bool StlWriter::open(const std::filesystem::path& path, const StlOptions& options) {
    options_ = options;
    if (options_.spoolPath.empty()) {
        options_.spoolPath = path;
        options_.spoolPath += ".vertices.tmp";
    }
    corners_ = std::make_unique<RecordSpool>(cornerBytes, options_.memoryBudget, options_.spoolPath);
    return file_.open(path);
}

void StlWriter::begin(const MeshInfo& info) {
    info_ = info;
    char header[headerBytes];
    std::memset(header, ' ', sizeof header);
    std::memcpy(header, headerText, sizeof headerText - 1);
    file_.write(header, sizeof header);
    file_.writeU32(0);
}

void StlWriter::vertices(const VertexBatch& batch) {
    if (!gate_.admit(batch.cancellable)) return;
    for (std::size_t i = 0; i < batch.count; ++i) {
        const double* p = batch.position + 3 * i;
        const VertexCoordinates c = applyAxisOrder(options_.presetIndex, p[0], p[1], p[2]);
        unsigned char record[cornerBytes];
        storeF32(record, static_cast<float>(c.first));
        storeF32(record + 4, static_cast<float>(c.second));
        storeF32(record + 8, static_cast<float>(c.third));
        corners_->append(record);
    }
    gate_.written(batch.stepAfter);
}

void StlWriter::keepVertices(std::int64_t count) { corners_->truncate(count < 0 ? 0 : count); }

bool StlWriter::loadCorner(std::int64_t number, float* corner) {
    const unsigned char* record = corners_->at(number - 1);
    if (!record) return false;
    for (int axis = 0; axis < 3; ++axis) corner[axis] = loadF32(record + 4 * axis);
    return true;
}

void StlWriter::writeTriangle(const float* a, const float* b, const float* c) {
    // The normal from the corners as written, in double so that it is unit
    // length to float precision.
    double u[3], v[3];
    for (int axis = 0; axis < 3; ++axis) {
        u[axis] = double{b[axis]} - a[axis];
        v[axis] = double{c[axis]} - a[axis];
    }
    double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    unsigned char* facet = facets_ + kFacetBytes * facetCount_;
    for (int axis = 0; axis < 3; ++axis)
        storeF32(facet + 4 * axis, length > 0.0 ? static_cast<float>(n[axis] / length) : 0.0f);
    const float* corners[3] = {a, b, c};
    for (int k = 0; k < 3; ++k)
        for (int axis = 0; axis < 3; ++axis) storeF32(facet + 12 + 12 * k + 4 * axis, corners[k][axis]);
    facet[48] = facet[49] = 0;
    if (++facetCount_ == kFacetBlock) flushFacets();
    ++triangleCount_;
}

void StlWriter::flushFacets() {
    file_.write(facets_, kFacetBytes * facetCount_);
    facetCount_ = 0;
}

void StlWriter::faces(const FaceBatch& batch) {
    if (!gate_.admit(batch.cancellable)) return;
    const int corners = batch.triangles ? 3 : info_.faceCorners;
    const std::int64_t trianglesPerFace = corners == 4 ? 2 : 1;
    const std::int64_t known = corners_->size();
    for (std::size_t f = 0; f < batch.count && !failed_; ++f) {
        const std::int64_t* v = batch.vertex + f * static_cast<std::size_t>(corners);
        bool named = true;
        for (int k = 0; k < corners; ++k) named = named && v[k] >= 1 && v[k] <= known;
        // A face naming a vertex that did not reach the file (cut by a cancel) is left out.
        if (!named) continue;
        if (triangleCount_ + trianglesPerFace > triangleLimit) {
            failed_ = true;
            break;
        }
        // Each corner is looked up once, also the two a quad's triangles share.
        float corner[4][3];
        for (int k = 0; k < corners; ++k) {
            if (!loadCorner(v[k], corner[k])) {
                failed_ = true;
                break;
            }
        }
        if (failed_) break;
        writeTriangle(corner[0], corner[1], corner[2]);
        if (corners == 4) writeTriangle(corner[0], corner[2], corner[3]);
        ++faceCount_;
    }
    flushFacets();
    gate_.written(batch.stepAfter);
}

MeshWritten StlWriter::end() {
    unsigned char count[4];
    storeU32(count, static_cast<std::uint32_t>(triangleCount_));
    file_.patch(countOffset, count, sizeof count);
    const bool closed = file_.close();
    MeshWritten written;
    written.vertices = corners_->size();
    written.faces = faceCount_;
    written.ok = closed && !failed_ && !corners_->failed();
    corners_.reset();  // removes the spool file
    return written;
}

}  // namespace morvale
