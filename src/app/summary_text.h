#pragma once
// The texts that end a conversion job: the failure box texts and the summary.

#include <string>

#include "convert/conversion_stats.h"

namespace morvale {

// Text of the failure box for a result of -1 to -7; empty for any other result.
const wchar_t* failureText(ConversionResult result);

struct SummaryBox {
    std::wstring statusText;  // "Ready...", "Error..." or "Cancelled..."
    std::wstring caption;
    std::wstring text;
    unsigned icon = 0;  // 16 error, 48 warning, 64 information
};

// The summary box after a finished (or cancelled) run.
SummaryBox composeSummary(const ConversionStats& stats);

// With mesh options chosen in the window, the summary's text goes on with
// the format ("GLB") and, for a simplified surface, the error reached (its
// triangles are the summary's own count); without, it stays as it always was.
void addMeshSummary(SummaryBox& box, const char* formatLabel, const ConversionStats& stats);

}  // namespace morvale
