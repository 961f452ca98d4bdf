#include "cli/docs/man_page.h"

#include "cli/cli_manual.h"

namespace morvale::cli {
namespace {

// Text as roff prints it literally: "-" would be a hyphen (not what a user
// types), "'" a typographic quote, and a line starting with "." or "'" a request.
std::string escaped(std::string_view text) {
    std::string out;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else if (c == '\'')
            out += "\\(aq";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string bold(std::string_view text) { return "\\fB" + escaped(text) + "\\fR"; }
std::string italic(std::string_view text) { return "\\fI" + escaped(text) + "\\fR"; }

// Paragraphs separated by an empty line become .PP paragraphs.
std::string paragraphs(std::string_view text) {
    std::string out;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find("\n\n", start);
        if (start > 0) out += ".PP\n";
        out += escaped(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        out += '\n';
        if (end == std::string_view::npos) break;
        start = end + 2;
    }
    return out;
}

std::string signature(const OptionEntry& option) {
    std::string text;
    if (option.shortName) text += bold(option.shortName);
    if (option.shortName && option.longName) text += ", ";
    if (option.longName) text += bold(option.longName);
    if (option.valueName) {
        text += option.valueOptional ? " [" : " ";
        text += italic(option.valueName);
        if (option.valueOptional) text += ']';
    }
    return text;
}

void appendTerm(std::string& out, const std::string& term, std::string_view text) {
    out += ".TP\n";
    out += term;
    out += '\n';
    out += escaped(text);
    out += '\n';
}

}  // namespace

std::string renderManPage(std::string_view version) {
    std::string out = ".\\\" Made by morvale-make-cli-docs from the tables of --help; edit those.\n";
    out += ".TH MORVALE\\-CONVERT 1 \"\" \"" + escaped(std::string(programName) + " " + std::string(version)) +
           "\" \"User Commands\"\n";
    // Words stay whole and lines ragged, so the page reads like the help.
    out += ".nh\n.ad l\n";
    out += ".SH NAME\n" + escaped(programName) + " \\- " + escaped(programPurpose) + "\n";
    out += ".SH SYNOPSIS\n";
    bool first = true;
    for (const char* line : usageLines()) {
        if (!first) out += ".br\n";
        out += bold(programName) + " " + escaped(line) + "\n";
        first = false;
    }
    out += ".SH DESCRIPTION\n" + paragraphs(descriptionText());
    out += ".SH OPTIONS\n";
    for (const OptionEntry& option : optionEntries()) appendTerm(out, signature(option), option.help);
    out += ".SH \"OUTPUT FORMATS\"\n";
    for (const TermEntry& entry : formatEntries()) appendTerm(out, bold(entry.term), entry.text);
    out += ".SH PRESETS\n";
    for (const TermEntry& entry : presetEntries()) appendTerm(out, bold(entry.term), entry.text);
    out += ".SH \"EXIT STATUS\"\n";
    for (const ExitStatusEntry& entry : exitStatusEntries())
        appendTerm(out, bold(std::to_string(exitCode(entry.status))), entry.text);
    out += ".SH EXAMPLES\n";
    for (const TermEntry& entry : exampleEntries()) appendTerm(out, bold(entry.term), entry.text);
    return out;
}

}  // namespace morvale::cli
