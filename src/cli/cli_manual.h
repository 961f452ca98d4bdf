#pragma once
// What morvale-convert says about itself: usage, description, options, output
// formats, exit statuses and examples. --help, the manual page and the bash
// completion are all rendered from these tables, so adding an option is one
// new row in cli_manual.cpp (and one case where the parser applies it).
//
// Text rules, so that every renderer can use the texts as they stand: only
// ASCII; lines separated by "\n", paragraphs by an empty line; help texts of
// options and terms at most 52 characters a line (the help's right column),
// the description at most 79, so --help fits a terminal of 80 columns.

#include <span>
#include <string>
#include <string_view>

#include "convert/exit_status.h"

namespace morvale::cli {

enum class OptionId {
    output,
    format,
    mode,
    crop,
    preset,
    scale,
    offsets,
    centerZ,
    maxError,
    maxTriangles,
    uv,
    uvExtent,
    normals,
    texture,
    solid,
    jobs,
    writeSeams,
    seams,
    seamsStale,
    tileSize,
    tile,
    quiet,
    help,
    version,
    zScale,
    size,
    baseThickness,
    band,
    keepCrs,
    cellsize,
};

// What an option's value is, for the shell's completion.
enum class ValueKind : unsigned char {
    none,    // a flag
    file,    // a file name
    path,    // a file or a folder name
    words,   // one of `words`
    number,  // nothing to complete
    text,    // nothing to complete
};

struct OptionEntry {
    OptionId id;
    const char* shortName;  // "-o", or nullptr
    const char* longName;   // "--output", or nullptr for a short-only option
    const char* valueName;  // "FILE"; nullptr for a flag
    bool valueOptional;     // "--solid [BASE]": the value may be left out
    ValueKind valueKind;
    const char* words;  // the values of a ValueKind::words option, space-separated
    const char* help;
    // False while the option is documented but not yet handled: the parser
    // refuses it with a clear message. Whoever wires an option flips this.
    bool wired;
};

// A term and its explanation: an output format or an example.
struct TermEntry {
    const char* term;
    const char* text;
};

// What morvale-convert returns (the program uses the same values).
struct ExitStatusEntry {
    ExitStatus status;
    const char* text;
};

inline constexpr const char programName[] = "morvale-convert";
// One line for the manual page's NAME section.
inline constexpr const char programPurpose[] = "convert Esri ASCII grids into 3D meshes";

// The synopsis lines, each after the program's name.
std::span<const char* const> usageLines();
// What the program does; paragraphs separated by an empty line.
const char* descriptionText();
std::span<const OptionEntry> optionEntries();
// One per writer, in the writers' table's order (convert/output_format.h).
std::span<const TermEntry> formatEntries();
// One per export preset, in the presets' order: its name on the command line
// and what it does to the axes and the scale (app/preset_words.h).
std::span<const TermEntry> presetEntries();
std::span<const ExitStatusEntry> exitStatusEntries();
std::span<const TermEntry> exampleEntries();

// The option named `name` ("-o", "--output"); nullptr when there is none.
const OptionEntry* findOption(std::string_view name);

// "-o, --output FILE", "--solid [BASE]", "-j N": how the help names an option.
std::string optionSignature(const OptionEntry& option);

// The whole --help text, ending in a line end.
std::string helpText();

}  // namespace morvale::cli
