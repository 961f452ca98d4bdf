#include "app/summary_text.h"

#include <string>
#include <string_view>

#include "app/text_format.h"

namespace morvale {

const wchar_t* failureText(ConversionResult result) {
    switch (result) {
    case conversionInputUnreadable: return L"Can't open input file...";
    case conversionOutputUncreatable: return L"Can't create output file...";
    case conversionVertexTableFailed: return L"Can't allocate memory for vertex table...";
    case conversionQuadTableFailed: return L"Can't allocate memory for quad table...";
    case conversionWriteFailed: return L"Can't write output file...";
    case conversionOutputIsInput: return L"Output file is the same as the input file...";
    case conversionBadCellSize: return L"Cell size must be greater than zero...";
    default: return L"";
    }
}

SummaryBox composeSummary(const ConversionStats& stats) {
    wchar_t vertices[groupedTextSize], triangles[groupedTextSize], quads[groupedTextSize], noData[groupedTextSize],
        rowsExpected[groupedTextSize], rowsRead[groupedTextSize], recordsExpected[groupedTextSize],
        recordsRead[groupedTextSize];
    formatGrouped(stats.vertexCount, vertices);
    formatGrouped(stats.triangleCount, triangles);
    formatGrouped(stats.quadCount, quads);
    formatGrouped(stats.noDataCount, noData);
    formatGrouped(stats.rowsExpected, rowsExpected);
    formatGrouped(stats.rowsRead, rowsRead);
    formatGrouped(stats.recordsExpected, recordsExpected);
    formatGrouped(stats.recordsRead, recordsRead);

    wchar_t rowsCheck[16], recordsCheck[16];
    formatText(rowsCheck, L"%ls", stats.rowsOk ? L"(OK)" : L"(ERROR)");
    formatText(recordsCheck, L"%ls", stats.recordsOk ? L"(OK)" : L"(ERROR)");

    // The cancelled text differs from the normal one by a space here and there;
    // both are shown exactly as users know them.
    const wchar_t* format =
        stats.status == -1
            ? L"---CANCELLED---\nConversion time:  %.2f seconds.\n\nVertices:  %ls\nTriangles:  %ls\nQuads %ls\n\n"
              L"No data value:  %ls\n\nRows status:  %ls / %ls  %ls\nRecords status:  %ls / %ls %ls\n\n"
              L"---CANCELLED---"
            : L"Conversion time:  %.2f seconds.\n\nVertices:  %ls\nTriangles:  %ls\nQuads  %ls\n\n"
              L"No data value:  %ls\n\nRows status:  %ls / %ls  %ls\nRecords status:  %ls / %ls  %ls";
    wchar_t text[512];
    formatText(text, format, stats.seconds, vertices, triangles, quads, noData, rowsExpected, rowsRead, rowsCheck,
               recordsExpected, recordsRead, recordsCheck);

    SummaryBox box;
    box.text = text;
    if (stats.status == -1) {
        box.statusText = L"Cancelled...";
        box.caption = L"Converting cancelled...";
        box.icon = 48;
    } else if (stats.status == 0) {
        box.statusText = L"Error...";
        box.caption = L"Converting done, but some ERRORS occured!";
        box.icon = 16;
    } else {
        box.statusText = L"Ready...";
        box.caption = L"Converting done...";
        box.icon = 64;
    }
    return box;
}

void addMeshSummary(SummaryBox& box, const char* formatLabel, const ConversionStats& stats) {
    // The triangles are the summary's own line: a simplified surface counts its triangles there.
    const std::string_view label = formatLabel;
    wchar_t text[128];
    formatText(text, L"\n\nFormat:  %ls", std::wstring(label.begin(), label.end()).c_str());
    box.text += text;
    if (stats.errorReached >= 0.0) {
        formatText(text, L"\nError reached:  %.6g", stats.errorReached);
        box.text += text;
    }
}

}  // namespace morvale
