// cut_grid_tiles: cuts a grid into ROWS x COLS tiles for the tile set
// benchmark, copying every number's text as it stands, so that the tiles hold
// exactly the values of the grid. The grid must hold one row per line (as
// morvale-make-grid writes). Tiles are named tile_RR_CC.asc, row 0 north.
//
// Usage: cut_grid_tiles GRID.asc FOLDER ROWS COLS

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "grid/grid_header.h"
#include "base/input_file.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// First index of part k when n items are cut into `parts` nearly equal parts.
long cut(long n, long parts, long k) { return n * k / parts; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("Usage: cut_grid_tiles GRID.asc FOLDER ROWS COLS\n", stderr);
        return 2;
    }
    morvale::GridHeader h;
    if (morvale::readGridHeader(argv[1], h) != morvale::gridHeaderOk || h.dataStart < 0) {
        std::fprintf(stderr, "cut_grid_tiles: cannot read the header of %s\n", argv[1]);
        return 3;
    }
    const long rows = std::atol(argv[3]), cols = std::atol(argv[4]);
    if (rows < 1 || cols < 1 || rows > h.nrows || cols > h.ncols) return 2;
    morvale::FileHandle in = morvale::openForReading(argv[1]);
    if (!in || !morvale::seekTo(in.get(), h.dataStart)) return 3;
    const double xll = h.xllIsCenter ? h.xll - h.cellsize * 0.5 : h.xll;
    const double yll = h.yllIsCenter ? h.yll - h.cellsize * 0.5 : h.yll;

    std::vector<char> line;
    for (long band = 0; band < rows; ++band) {
        const long top = cut(h.nrows, rows, band), bottom = cut(h.nrows, rows, band + 1);
        std::vector<File> out;
        for (long c = 0; c < cols; ++c) {
            const long west = cut(h.ncols, cols, c), east = cut(h.ncols, cols, c + 1);
            const std::string name =
                std::string(argv[2]) + "/tile_" + std::to_string(band) + "_" + std::to_string(c) + ".asc";
            out.emplace_back(std::fopen(name.c_str(), "wb"));
            if (!out.back()) return 4;
            std::fprintf(out.back().get(), "ncols %ld\nnrows %ld\nxllcorner %.17g\nyllcorner %.17g\ncellsize %.17g\n",
                         east - west, bottom - top, xll + west * h.cellsize, yll + (h.nrows - bottom) * h.cellsize,
                         h.cellsize);
            if (h.hasNodata) std::fprintf(out.back().get(), "NODATA_value %.17g\n", h.nodataValue);
        }
        for (long r = top; r < bottom; ++r) {
            // One line, its tokens handed to the tiles by column.
            line.clear();
            for (int ch; (ch = std::fgetc(in.get())) != EOF && ch != '\n';) line.push_back(static_cast<char>(ch));
            line.push_back('\0');
            long col = 0, tile = 0;
            for (char* token = std::strtok(line.data(), " \t\r"); token; token = std::strtok(nullptr, " \t\r"), ++col) {
                while (tile + 1 < cols && col >= cut(h.ncols, cols, tile + 1)) std::fputc('\n', out[tile++].get());
                if (col != cut(h.ncols, cols, tile)) std::fputc(' ', out[tile].get());
                std::fputs(token, out[tile].get());
            }
            std::fputc('\n', out[tile].get());
        }
    }
    return 0;
}
