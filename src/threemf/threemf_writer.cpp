#include "threemf/threemf_writer.h"

#include <cstdio>
#include <limits>

#include "base/platform_file.h"
#include "threemf/content_uuid.h"

#include "threemf/lib3mf_library.h"

namespace morvale {

namespace {
constexpr std::int64_t countLimit = std::numeric_limits<std::uint32_t>::max();

#if MORVALE_HAVE_LIB3MF
using namespace NMR;

// Releases a lib3mf instance when it goes out of scope.
struct Held {
    const Lib3mf& lib;
    PLib3MFBase* instance = nullptr;
    explicit Held(const Lib3mf& library) : lib(library) {}
    ~Held() {
        if (instance != nullptr) lib.lib3mf_release(instance);
    }
};
#endif
}  // namespace

bool threeMfFits(std::int64_t vertices, std::int64_t triangles) {
    return vertices <= countLimit && triangles <= countLimit;
}

ThreeMfWriter::ThreeMfWriter(const std::atomic<bool>* cancelRequested, ProgressReporter* progress) {
    gate_.cancelRequested = cancelRequested;
    gate_.progress = progress;
}

bool ThreeMfWriter::open(const std::filesystem::path& path, const ThreeMfOptions& options) {
    path_ = path;
    options_ = options;
    std::FILE* file = openFile(path, "wb", L"wb");
    if (file == nullptr) return false;
    return std::fclose(file) == 0;
}

void ThreeMfWriter::begin(const MeshInfo& info) { info_ = info; }

void ThreeMfWriter::vertices(const VertexBatch& batch) {
    if (!gate_.admit(batch.cancellable)) return;
    for (std::size_t i = 0; i < 3 * batch.count; ++i) positions_.push_back(static_cast<float>(batch.position[i]));
    gate_.written(batch.stepAfter);
}

void ThreeMfWriter::keepVertices(std::int64_t count) {
    const std::size_t kept = 3 * static_cast<std::size_t>(count < 0 ? 0 : count);
    if (kept < positions_.size()) positions_.resize(kept);
}

void ThreeMfWriter::faces(const FaceBatch& batch) {
    if (!gate_.admit(batch.cancellable)) return;
    const int corners = info_.faceCorners;
    const auto known = static_cast<std::int64_t>(positions_.size() / 3);
    for (std::size_t f = 0; f < batch.count; ++f) {
        const std::int64_t* v = batch.vertex + f * static_cast<std::size_t>(corners);
        bool named = true;
        for (int k = 0; k < corners; ++k) named = named && v[k] >= 1 && v[k] <= known;
        if (!named) continue;
        // Quads split as the STL writer splits them.
        const int order[6] = {0, 1, 2, 0, 2, 3};
        for (int k = 0; k < (corners == 4 ? 6 : 3); ++k)
            corners_.push_back(static_cast<std::uint32_t>(v[order[k]] - 1));
        ++faceCount_;
    }
    gate_.written(batch.stepAfter);
}

MeshWritten ThreeMfWriter::end() {
    MeshWritten written;
    written.faces = faceCount_;
    // Only the vertices a triangle names, renumbered in their order.
    std::vector<std::uint32_t> renumber(positions_.size() / 3, UINT32_MAX);
    std::uint32_t used = 0;
    for (std::uint32_t& c : corners_) {
        if (renumber[c] == UINT32_MAX) renumber[c] = used++;
        c = renumber[c];
    }
    written.vertices = static_cast<std::int64_t>(positions_.size() / 3);
#if MORVALE_HAVE_LIB3MF
    std::vector<MODELMESHVERTEX> vertices(used);
    for (std::size_t v = 0; v < renumber.size(); ++v)
        if (renumber[v] != UINT32_MAX)
            for (int axis = 0; axis < 3; ++axis) vertices[renumber[v]].m_fPosition[axis] = positions_[3 * v + axis];
    std::vector<MODELMESHTRIANGLE> triangles(corners_.size() / 3);
    for (std::size_t t = 0; t < triangles.size(); ++t)
        for (int k = 0; k < 3; ++k) triangles[t].m_nIndices[k] = corners_[3 * t + k];
    positions_ = {};
    corners_ = {};
    // The UUIDs follow from everything the file holds (content_uuid.h): a conversion run again writes the same bytes.
    static_assert(sizeof(MODELMESHVERTEX) == 12 && sizeof(MODELMESHTRIANGLE) == 12, "lib3mf's records are unpadded");
    const std::uint64_t counts[3] = {options_.objectName.size(), vertices.size(), triangles.size()};
    std::uint64_t digest = digestBytes(digestStart, counts, sizeof counts);
    digest = digestBytes(digest, options_.objectName.data(), options_.objectName.size());
    digest = digestBytes(digest, vertices.data(), sizeof(MODELMESHVERTEX) * vertices.size());
    digest = digestBytes(digest, triangles.data(), sizeof(MODELMESHTRIANGLE) * triangles.size());
    const UuidText objectUuid = contentUuid(digest, UuidRole::object);
    const UuidText itemUuid = contentUuid(digest, UuidRole::buildItem);
    const UuidText buildUuid = contentUuid(digest, UuidRole::build);
    const Lib3mf lib;
    Held model(lib), mesh(lib), item(lib), writer(lib);
    bool ok = !failed_ && lib.loaded() && lib.lib3mf_createmodel(&model.instance) == LIB3MF_OK &&
              lib.lib3mf_model_setunit(model.instance, MODELUNIT_MILLIMETER) == LIB3MF_OK &&
              lib.lib3mf_model_addmeshobject(model.instance, &mesh.instance) == LIB3MF_OK &&
              lib.lib3mf_object_setnameutf8(mesh.instance, options_.objectName.c_str()) == LIB3MF_OK &&
              lib.lib3mf_object_setuuidutf8(mesh.instance, objectUuid.text) == LIB3MF_OK &&
              lib.lib3mf_meshobject_setgeometry(mesh.instance, vertices.data(), static_cast<DWORD>(vertices.size()),
                                                triangles.data(), static_cast<DWORD>(triangles.size())) == LIB3MF_OK &&
              lib.lib3mf_model_addbuilditem(model.instance, mesh.instance, nullptr, &item.instance) == LIB3MF_OK &&
              lib.lib3mf_builditem_setuuidutf8(item.instance, itemUuid.text) == LIB3MF_OK &&
              lib.lib3mf_model_setbuilduuidutf8(model.instance, buildUuid.text) == LIB3MF_OK &&
              lib.lib3mf_model_querywriter(model.instance, "3mf", &writer.instance) == LIB3MF_OK;
    ok = ok && lib.lib3mf_writer_writetofileutf8(writer.instance, path_.string().c_str()) == LIB3MF_OK;
    failed_ = !ok;
    written.ok = ok;
#else
    written.ok = false;
#endif
    return written;
}

bool readThreeMf(const std::filesystem::path& path, ThreeMfContents& contents) {
    contents = {};
#if MORVALE_HAVE_LIB3MF
    const Lib3mf lib;
    Held model(lib), reader(lib), iterator(lib);
    if (!lib.loaded() || lib.lib3mf_createmodel(&model.instance) != LIB3MF_OK ||
        lib.lib3mf_model_queryreader(model.instance, "3mf", &reader.instance) != LIB3MF_OK ||
        lib.lib3mf_reader_readfromfileutf8(reader.instance, path.string().c_str()) != LIB3MF_OK ||
        lib.lib3mf_model_getmeshobjects(model.instance, &iterator.instance) != LIB3MF_OK)
        return false;
    DWORD unit = 0;
    contents.millimetres = lib.lib3mf_model_getunit(model.instance, &unit) == LIB3MF_OK && unit == MODELUNIT_MILLIMETER;
    contents.manifold = true;
    for (BOOL next = false; lib.lib3mf_resourceiterator_movenext(iterator.instance, &next) == LIB3MF_OK && next;) {
        Held object(lib);
        if (lib.lib3mf_resourceiterator_getcurrent(iterator.instance, &object.instance) != LIB3MF_OK) return false;
        DWORD vertices = 0, triangles = 0;
        BOOL manifold = false;
        if (lib.lib3mf_meshobject_getvertexcount(object.instance, &vertices) != LIB3MF_OK ||
            lib.lib3mf_meshobject_gettrianglecount(object.instance, &triangles) != LIB3MF_OK ||
            lib.lib3mf_meshobject_ismanifoldandoriented(object.instance, &manifold) != LIB3MF_OK)
            return false;
        BOOL hasUuid = false;
        char uuid[37] = {};  // lib3mf writes the 36 characters and a terminator
        if (lib.lib3mf_object_getuuidutf8(object.instance, &hasUuid, uuid) == LIB3MF_OK && hasUuid)
            contents.objectUuid = uuid;
        ++contents.objects;
        contents.vertices += vertices;
        contents.triangles += triangles;
        contents.manifold = contents.manifold && manifold;
    }
    return true;
#else
    (void)path;
    return false;
#endif
}

}  // namespace morvale
