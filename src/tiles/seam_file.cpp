#include "tiles/seam_file.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "base/input_file.h"
#include "base/platform_file.h"
#include "base/staged_file.h"

namespace morvale {

namespace {

constexpr unsigned char seamMagic[8] = {'M', 'V', 'S', 'E', 'A', 'M', 'S', 0x1A};
// 2: each tile's file size, modification time and border hash, to tell a tile edited since.
constexpr std::uint32_t seamVersion = 2;
constexpr std::size_t fixedHeaderBytes = 8 + 4 + 4 + 4 + 4 + 8 * 4 + 4 + 8 + 8;
constexpr std::size_t smallestEntryBytes = 4 * 4 + 8 * 2 + 8 * 3 + 8 * 2 + 4;
constexpr std::uint32_t longestName = 4096;
constexpr std::int32_t deepestBorder = 64;
// Values encoded or decoded per block of data.
constexpr std::size_t valuesPerBlock = 8192;

// Little-endian encoding into a growing byte buffer.
struct Encoder {
    std::vector<unsigned char> bytes;
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    void u64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f64(double v) { u64(std::bit_cast<std::uint64_t>(v)); }
};

// Little-endian decoding from a fixed span; `ok` turns false on a read past its end.
struct Decoder {
    const unsigned char* p;
    const unsigned char* end;
    bool ok = true;
    std::uint64_t take(int n) {
        if (end - p < n) {
            ok = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i) v |= std::uint64_t{p[i]} << (8 * i);
        p += n;
        return v;
    }
    std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
    std::uint64_t u64() { return take(8); }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    double f64() { return std::bit_cast<double>(u64()); }
};

FileHandle openForWriting(const std::filesystem::path& path) { return FileHandle(openFile(path, "wb", L"wb")); }

bool readExactly(std::FILE* file, unsigned char* p, std::size_t n) { return std::fread(p, 1, n, file) == n; }

bool near(const TileWindow& t, const TileWindow& w, std::int32_t depth) {
    const std::int64_t d = depth;
    return std::int64_t{t.rowOffset} < std::int64_t{w.rowOffset} + w.nrows + d &&
           std::int64_t{w.rowOffset} - d < std::int64_t{t.rowOffset} + t.nrows &&
           std::int64_t{t.colOffset} < std::int64_t{w.colOffset} + w.ncols + d &&
           std::int64_t{w.colOffset} - d < std::int64_t{t.colOffset} + t.ncols;
}

bool windowFits(const TileWindow& w, const GridHeader& merged) {
    return w.nrows >= 1 && w.ncols >= 1 && w.rowOffset >= 0 && w.colOffset >= 0 &&
           std::int64_t{w.rowOffset} + w.nrows <= merged.nrows && std::int64_t{w.colOffset} + w.ncols <= merged.ncols;
}

}  // namespace

SeamFileResult writeSeamFile(const std::filesystem::path& path, const SeamIndex& index, std::error_code* reason) {
    Encoder table;
    std::uint64_t dataOffset = 0;  // relative to the data's start until the table's size is known
    std::vector<std::uint64_t> offsets;
    for (const SeamTile& tile : index.tiles) offsets.push_back(dataOffset), dataOffset += tile.border.size() * 8;

    // The table's size does not depend on the offsets' values, so lay it out once to learn it.
    std::size_t tableBytes = 0;
    for (const SeamTile& tile : index.tiles) tableBytes += smallestEntryBytes + tile.name.size();
    const std::uint64_t dataStart = fixedHeaderBytes + tableBytes;

    for (std::size_t t = 0; t < index.tiles.size(); ++t) {
        const SeamTile& tile = index.tiles[t];
        table.i32(tile.window.rowOffset);
        table.i32(tile.window.colOffset);
        table.i32(tile.window.nrows);
        table.i32(tile.window.ncols);
        table.f64(tile.zMin);
        table.f64(tile.zMax);
        table.u64(dataStart + offsets[t]);
        table.u64(tile.border.size());
        table.u64(seamBorderHash(tile.border));
        table.u64(tile.fileBytes);
        table.u64(static_cast<std::uint64_t>(tile.modified));
        table.u32(static_cast<std::uint32_t>(tile.name.size()));
        table.bytes.insert(table.bytes.end(), tile.name.begin(), tile.name.end());
    }

    Encoder head;
    head.bytes.assign(seamMagic, seamMagic + sizeof seamMagic);
    head.u32(seamVersion);
    head.u32(static_cast<std::uint32_t>(index.depth));
    const GridHeader& m = index.merged;
    head.i32(m.ncols);
    head.i32(m.nrows);
    head.f64(m.xll);
    head.f64(m.yll);
    head.f64(m.cellsize);
    head.f64(m.nodataValue);
    head.i32(m.hasNodata);
    head.u64(index.tiles.size());
    head.u64(fnvHash(fnvStart, table.bytes.data(), table.bytes.size()));

    // Under a temporary name until complete: a failed or killed run keeps an earlier index whole.
    const StagedFile staged = stageFile(path);
    FileHandle out = openForWriting(staged.written);
    if (!out) {
        if (reason != nullptr) *reason = lastFileError();
        return SeamFileResult::unopenable;
    }
    std::error_code error;  // the first failure's
    const auto put = [&](const std::vector<unsigned char>& bytes) {
        if (!error && std::fwrite(bytes.data(), 1, bytes.size(), out.get()) != bytes.size()) error = lastFileError();
    };
    put(head.bytes);
    put(table.bytes);
    Encoder block;
    for (const SeamTile& tile : index.tiles) {
        for (std::size_t i = 0; !error && i < tile.border.size(); i += valuesPerBlock) {
            block.bytes.clear();
            const std::size_t n = std::min(valuesPerBlock, tile.border.size() - i);
            for (std::size_t k = 0; k < n; ++k) block.f64(tile.border[i + k]);
            put(block.bytes);
        }
    }
    if (std::fflush(out.get()) != 0 && !error) error = lastFileError();
    if (std::fclose(out.release()) != 0 && !error) error = lastFileError();
    if (!error) error = commitStaged(staged);
    if (!error) return SeamFileResult::ok;
    discardStaged(staged);
    if (reason != nullptr) *reason = error;
    return SeamFileResult::writeFailed;
}

namespace {

enum class BorderLoad : std::uint8_t { all, near, none };

SeamFileResult readSeam(const std::filesystem::path& path, SeamIndex& index, BorderLoad load,
                        const TileWindow* nearWindow) {
    FileHandle in = openForReading(path);
    if (!in) return SeamFileResult::unopenable;
    std::error_code error;
    const std::uint64_t fileBytes = std::filesystem::file_size(path, error);
    if (error) return SeamFileResult::unopenable;

    unsigned char fixed[fixedHeaderBytes];
    if (!readExactly(in.get(), fixed, 8) || std::memcmp(fixed, seamMagic, 8) != 0) return SeamFileResult::notSeams;
    if (!readExactly(in.get(), fixed + 8, fixedHeaderBytes - 8)) return SeamFileResult::damaged;
    Decoder head{fixed + 8, fixed + fixedHeaderBytes};
    if (const std::uint32_t version = head.u32(); version != seamVersion)
        return version < seamVersion ? SeamFileResult::oldVersion : SeamFileResult::newVersion;
    SeamIndex read;
    read.depth = head.i32();
    GridHeader& m = read.merged;
    m.ncols = head.i32();
    m.nrows = head.i32();
    m.xll = head.f64();
    m.yll = head.f64();
    m.cellsize = head.f64();
    m.nodataValue = head.f64();
    m.hasNodata = head.i32();
    m.dataStart = -1;
    const std::uint64_t tileCount = head.u64();
    const std::uint64_t tableHash = head.u64();
    if (read.depth < 1 || read.depth > deepestBorder || m.ncols < 1 || m.nrows < 1 || !(m.cellsize > 0.0) ||
        !std::isfinite(m.cellsize) || (m.hasNodata != 0 && m.hasNodata != 1) ||
        tileCount > (fileBytes - fixedHeaderBytes) / smallestEntryBytes)
        return SeamFileResult::damaged;

    struct Data {
        std::uint64_t offset, count, hash;
    };
    std::vector<Data> data(static_cast<std::size_t>(tileCount));
    read.tiles.resize(static_cast<std::size_t>(tileCount));
    std::uint64_t hash = fnvStart;
    for (std::size_t t = 0; t < read.tiles.size(); ++t) {
        unsigned char entry[smallestEntryBytes];
        if (!readExactly(in.get(), entry, sizeof entry)) return SeamFileResult::damaged;
        hash = fnvHash(hash, entry, sizeof entry);
        Decoder d{entry, entry + sizeof entry};
        SeamTile& tile = read.tiles[t];
        tile.window = {d.i32(), d.i32(), d.i32(), d.i32()};
        tile.zMin = d.f64();
        tile.zMax = d.f64();
        data[t] = {d.u64(), d.u64(), d.u64()};
        tile.borderHash = data[t].hash;
        tile.fileBytes = d.u64();
        tile.modified = static_cast<std::int64_t>(d.u64());
        const std::uint32_t nameBytes = d.u32();
        if (!windowFits(tile.window, m) || nameBytes > longestName) return SeamFileResult::damaged;
        tile.name.resize(nameBytes);
        if (!readExactly(in.get(), reinterpret_cast<unsigned char*>(tile.name.data()), nameBytes))
            return SeamFileResult::damaged;
        hash = fnvHash(hash, reinterpret_cast<const unsigned char*>(tile.name.data()), nameBytes);
        const std::uint64_t expected = static_cast<std::uint64_t>(borderCellCount(tile.window, read.depth));
        if (data[t].count != expected || data[t].offset > fileBytes || data[t].count > (fileBytes - data[t].offset) / 8)
            return SeamFileResult::damaged;
    }
    if (hash != tableHash) return SeamFileResult::damaged;

    std::vector<unsigned char> block(valuesPerBlock * 8);
    for (std::size_t t = 0; t < read.tiles.size(); ++t) {
        SeamTile& tile = read.tiles[t];
        if (load == BorderLoad::none || (load == BorderLoad::near && !near(tile.window, *nearWindow, read.depth)))
            continue;
        if (!seekTo(in.get(), static_cast<std::int64_t>(data[t].offset))) return SeamFileResult::damaged;
        tile.border.resize(static_cast<std::size_t>(data[t].count));
        std::uint64_t dataHash = fnvStart;
        for (std::size_t i = 0; i < tile.border.size(); i += valuesPerBlock) {
            const std::size_t n = std::min(valuesPerBlock, tile.border.size() - i);
            if (!readExactly(in.get(), block.data(), n * 8)) return SeamFileResult::damaged;
            dataHash = fnvHash(dataHash, block.data(), n * 8);
            Decoder d{block.data(), block.data() + n * 8};
            for (std::size_t k = 0; k < n; ++k) tile.border[i + k] = d.f64();
        }
        if (dataHash != data[t].hash) return SeamFileResult::damaged;
    }
    index = std::move(read);
    return SeamFileResult::ok;
}

}  // namespace

SeamFileResult readSeamFile(const std::filesystem::path& path, SeamIndex& index, const TileWindow* near) {
    return readSeam(path, index, near ? BorderLoad::near : BorderLoad::all, near);
}

SeamFileResult readSeamTable(const std::filesystem::path& path, SeamIndex& index) {
    return readSeam(path, index, BorderLoad::none, nullptr);
}

const char* seamFileResultText(SeamFileResult result) {
    switch (result) {
    case SeamFileResult::ok: return "ok";
    case SeamFileResult::unopenable: return "cannot be opened";
    case SeamFileResult::notSeams: return "is not a seam index";
    case SeamFileResult::newVersion: return "was written by a later version of morvale-convert";
    case SeamFileResult::oldVersion:
        return "was written by an earlier version of morvale-convert, which did not record what each tile was: "
               "write it again with --write-seams";
    case SeamFileResult::damaged: return "is damaged (cut short or altered)";
    case SeamFileResult::writeFailed: return "could not be written completely";
    }
    return "cannot be used";
}

}  // namespace morvale
