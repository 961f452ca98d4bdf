// straightforward_convert: the benchmark's yardstick. The same conversion as
// morvale-convert with its default settings (preset "3ds max", unit scale 1,
// no offsets, no centring), written the plain way: getline and an
// istringstream per number, whole-grid tables, fprintf per line. It writes the
// same bytes (apart from the time line), so the benchmark can compare speeds.
//
// Usage: straightforward_convert INPUT.asc OUTPUT.obj [--mode interpolated|floating-planes]
//                                [--crop X1,Y1,X2,Y2]

#include <cctype>
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Header {
    long ncols = 0, nrows = 0;
    double xll = 0, yll = 0, cellsize = 0, nodata = 0;
    bool xllCenter = false, yllCenter = false, hasNodata = false;
};

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool readHeader(std::ifstream& in, Header& h) {
    for (;;) {
        std::streampos lineStart = in.tellg();
        std::string line;
        if (!std::getline(in, line)) return false;
        std::istringstream words(line);
        std::string key;
        double value = 0;
        words >> key;
        key = lower(key);
        if (key == "ncols" && words >> value)
            h.ncols = static_cast<long>(value);
        else if (key == "nrows" && words >> value)
            h.nrows = static_cast<long>(value);
        else if ((key == "xllcorner" || key == "xllcenter") && words >> value)
            h.xll = value, h.xllCenter = key == "xllcenter";
        else if ((key == "yllcorner" || key == "yllcenter") && words >> value)
            h.yll = value, h.yllCenter = key == "yllcenter";
        else if (key == "cellsize" && words >> value)
            h.cellsize = value;
        else if (key == "nodata_value" && words >> value)
            h.nodata = value, h.hasNodata = true;
        else {
            in.clear();
            in.seekg(lineStart);
            return h.ncols > 0 && h.nrows > 0 && h.cellsize > 0;
        }
    }
}

struct Window {
    long xMin, yMin, xMax, yMax;
};

struct Counts {
    long rowsRead = 0, recordsRead = 0, noData = 0;
};

// Reads the body line by line; calls onValue(row, col, value, inWindow) for
// data values of the window and its one-cell ring.
template <class OnValue>
Counts readBody(std::ifstream& in, const Header& h, const Window& w, long lastRow, OnValue onValue) {
    Counts counts;
    long row = 1, col = 1;
    std::string line;
    while (row <= lastRow && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream numbers(line);
        double v;
        while (numbers >> v) {
            if (col > h.ncols) {
                if (row >= w.yMin && row <= w.yMax) ++counts.rowsRead;
                col = 1;
                ++row;
            }
            const bool inWindow = row >= w.yMin && row <= w.yMax && col >= w.xMin && col <= w.xMax;
            const bool inRing = !inWindow && row >= w.yMin - 1 && row <= w.yMax + 1 && row <= h.nrows &&
                                col >= w.xMin - 1 && col <= w.xMax + 1;
            if (inWindow || inRing) {
                if (h.hasNodata && v >= h.nodata - 0.000001 && v <= h.nodata + 0.000001) {
                    if (inWindow) ++counts.recordsRead, ++counts.noData;
                } else {
                    onValue(row, col, v, inWindow);
                    if (inWindow) ++counts.recordsRead;
                }
            }
            ++col;
        }
        if (col > h.ncols) {
            if (row >= w.yMin && row <= w.yMax) ++counts.rowsRead;
            col = 1;
            ++row;
        }
    }
    return counts;
}

struct Edges {
    double cellEdge, xOffset, yOffset;
    long nrows;
    double xWest(long col) const { return ((static_cast<double>(col) + xOffset) - 1.0) * cellEdge; }
    double yNorth(long row) const { return (((1.0 - static_cast<double>(row)) + nrows) + yOffset) * cellEdge; }
    double xEast(long col) const { return xWest(col + 1) + 0.0; }
    double ySouth(long row) const { return -(0.0 - yNorth(row + 1)); }
};

void writeHeader(std::FILE* out, const std::string& inputName) {
    std::fprintf(out, "# Morvale (v0.4)\r\n# https://morvale.example.org/\r\n#\r\n");
    std::time_t now = std::time(nullptr);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d, %H:%M", std::localtime(&now));
    std::fprintf(out, "# File conversion started at: %s\r\n", stamp);
    std::fprintf(out, "# Original input filename: %s\r\n\r\n\r\n", inputName.c_str());
}

void writeFooterStart(std::FILE* out, long vertices, const std::string& object) {
    std::fprintf(out, "# %ld vertices\r\n\r\no %s\r\ng %s\r\n", vertices, object.c_str(), object.c_str());
}

struct Quad {
    int corner[4];
    double elevation;
    bool hasData;
};

void interpolated(std::ifstream& in, std::FILE* out, const Header& h, const Window& w, const Edges& e,
                  const std::string& inputName, const std::string& object) {
    const long cols = h.ncols, rows = h.nrows;
    std::vector<double> vertexTable(static_cast<std::size_t>((rows + 1) * (cols + 1) * 3), 0.0);
    std::vector<Quad> quads(static_cast<std::size_t>(rows * cols), Quad{{0, 0, 0, 0}, 0.0, false});
    auto cell = [&](long r, long c) -> Quad& { return quads[static_cast<std::size_t>((r - 1) * cols + (c - 1))]; };
    auto exists = [&](long r, long c) { return r >= 1 && r <= rows && c >= 1 && c <= cols; };
    double zMin = DBL_MAX, zMax = -DBL_MAX;
    readBody(in, h, w, w.yMax < rows ? w.yMax + 1 : rows, [&](long r, long c, double v, bool inWindow) {
        cell(r, c).elevation = v;
        cell(r, c).hasData = true;
        if (inWindow) zMin = v < zMin ? v : zMin, zMax = v > zMax ? v : zMax;
    });

    int created = 0;
    auto createVertex = [&](long r, long c, double east, double north) {
        double sum = 0.0;
        int n = 0;
        const long around[4][2] = {{r - 1, c - 1}, {r - 1, c}, {r, c - 1}, {r, c}};
        for (const auto& a : around)
            if (exists(a[0], a[1]) && cell(a[0], a[1]).hasData) sum += cell(a[0], a[1]).elevation, ++n;
        double* v = &vertexTable[static_cast<std::size_t>(created) * 3];
        v[0] = east, v[1] = north, v[2] = sum / n * 1.0;
        return ++created;
    };
    for (long i = w.yMin; i <= w.yMax; ++i) {
        for (long j = w.xMin; j <= w.xMax; ++j) {
            const bool left = j > w.xMin, up = i > w.yMin;
            if (cell(i, j).hasData || (left && cell(i, j - 1).hasData) || (up && cell(i - 1, j).hasData) ||
                (left && up && cell(i - 1, j - 1).hasData)) {
                int k = createVertex(i, j, e.xWest(j), e.yNorth(i));
                cell(i, j).corner[0] = k;
                if (left) cell(i, j - 1).corner[1] = k;
                if (up) cell(i - 1, j).corner[3] = k;
                if (left && up) cell(i - 1, j - 1).corner[2] = k;
            }
            if (j == w.xMax && (cell(i, j).hasData || (up && cell(i - 1, j).hasData))) {
                int k = createVertex(i, j + 1, e.xEast(j), e.yNorth(i));
                cell(i, j).corner[1] = k;
                if (up) cell(i - 1, j).corner[2] = k;
            }
            if (i == w.yMax && (cell(i, j).hasData || (left && cell(i, j - 1).hasData))) {
                int k = createVertex(i + 1, j, e.xWest(j), e.ySouth(i));
                cell(i, j).corner[3] = k;
                if (left) cell(i, j - 1).corner[2] = k;
            }
            if (i == w.yMax && j == w.xMax && cell(i, j).hasData)
                cell(i, j).corner[2] = createVertex(i + 1, j + 1, e.xEast(j), e.ySouth(i));
        }
    }

    writeHeader(out, inputName);
    for (int k = 0; k < created; ++k) {
        const double* v = &vertexTable[static_cast<std::size_t>(k) * 3];
        std::fprintf(out, "v %.4f %.4f %.4f\r\n", v[0], v[1], v[2]);
    }
    writeFooterStart(out, created, object);
    long faces = 0;
    for (long i = w.yMin; i <= w.yMax; ++i)
        for (long j = w.xMin; j <= w.xMax; ++j)
            if (cell(i, j).hasData) {
                const int* c = cell(i, j).corner;
                std::fprintf(out, "f %d %d %d %d\r\n", c[3], c[2], c[1], c[0]);
                ++faces;
            }
    std::fprintf(out, "# %ld quads", faces);
}

void floatingPlanes(std::ifstream& in, std::FILE* out, const Header& h, const Window& w, const Edges& e,
                    const std::string& inputName, const std::string& object) {
    writeHeader(out, inputName);
    long quads = 0;
    readBody(in, h, w, w.yMax, [&](long r, long c, double v, bool inWindow) {
        if (!inWindow) return;
        ++quads;
        char text[256];
        std::snprintf(text, sizeof text,
                      "v %.4f %.4f %.4f\r\nv %.4f %.4f %.4f\r\nv %.4f %.4f %.4f\r\nv %.4f %.4f %.4f\r\n", e.xWest(c),
                      e.yNorth(r), v, e.xEast(c), e.yNorth(r), v, e.xEast(c), e.ySouth(r), v, e.xWest(c), e.ySouth(r),
                      v);
        std::fputs(text, out);
    });
    writeFooterStart(out, 4 * quads, object);
    for (long i = 1; i <= quads; ++i)
        std::fprintf(out, "f %ld %ld %ld %ld\r\n", 4 * i, 4 * i - 1, 4 * i - 2, 4 * i - 3);
    std::fprintf(out, "# %ld quads", quads);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("Usage: straightforward_convert INPUT.asc OUTPUT.obj [--mode M] [--crop X1,Y1,X2,Y2]\n", stderr);
        return 2;
    }
    std::string mode = "interpolated";
    long crop[4] = {0, 0, 0, 0};
    for (int i = 3; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--mode"))
            mode = argv[i + 1];
        else if (!std::strcmp(argv[i], "--crop"))
            std::sscanf(argv[i + 1], "%ld,%ld,%ld,%ld", &crop[0], &crop[1], &crop[2], &crop[3]);
    }
    std::ifstream in(argv[1]);
    Header h;
    if (!in || !readHeader(in, h)) {
        std::fputs("straightforward_convert: cannot read the grid\n", stderr);
        return 3;
    }
    Window w{1, 1, h.ncols, h.nrows};
    if (crop[0] > 0) w = Window{crop[0], crop[1], crop[2], crop[3]};
    const Edges e{h.cellsize, -(h.ncols * 0.5), -(h.nrows * 0.5), h.nrows};
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 4;
    std::string inputName = argv[1];
    inputName = inputName.substr(inputName.find_last_of('/') + 1);
    const std::string object = inputName.substr(0, inputName.rfind('.'));
    if (mode == "floating-planes")
        floatingPlanes(in, out, h, w, e, inputName, object);
    else
        interpolated(in, out, h, w, e, inputName, object);
    return std::fclose(out) == 0 ? 0 : 4;
}
