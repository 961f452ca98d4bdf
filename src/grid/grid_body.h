#pragma once
// Reading the elevation rows of a grid: numbers in file order, their row and
// column by counting, the crop window and its one-cell ring, the no-data test,
// progress steps and the cancel flag.

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "base/progress_reporter.h"
#include "grid/body_window.h"
#include "grid/grid_header.h"

namespace morvale {

// The consumer: called for every data value (not no-data) of the window
// (inWindow true) and of its one-cell ring (inWindow false), in file order:
//   void onCellValue(std::int32_t row, std::int32_t col, double value, bool inWindow);
//
// readGridBody reads `input` from its current position up to the completion
// of row lastRow (or the end of the file or a read error) and returns the
// counts; a stream already in error gives zero counts. It is a template so
// that the consumer is inlined into the parsing loop.
//
// The stream is read in binary blocks. Lines end at LF, and a CR right before
// a LF is not part of its line, so CR LF files read exactly like LF ones
// ("\r\n" alone is an empty line). A `nan` token in any letter case is a
// no-data cell, with or without a no-data value in the header.
template <class OnCellValue>
GridBodyCounts readGridBody(std::FILE* input, const GridHeader& header, const CropWindow& window, std::int32_t lastRow,
                            const std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                            OnCellValue&& onCellValue);

}  // namespace morvale

#include "grid/grid_body_impl.h"
