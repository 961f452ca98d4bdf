#include "cli/docs/bash_completion.h"

#include "cli/cli_manual.h"

namespace morvale::cli {

namespace {
// The inputs offered: grids, and in a build with GDAL the common raster files.
#ifdef MORVALE_GDAL
constexpr const char* inputPattern = "@(asc|ASC|tif|TIF|tiff|TIFF|vrt|VRT|hgt|HGT|img|IMG|png|PNG)";
#else
constexpr const char* inputPattern = "@(asc|ASC)";
#endif
}  // namespace
namespace {

// "-o|--output": the case pattern of an option's names.
std::string casePattern(const OptionEntry& option) {
    std::string pattern;
    if (option.shortName) pattern += option.shortName;
    if (option.shortName && option.longName) pattern += '|';
    if (option.longName) pattern += option.longName;
    return pattern;
}

const char* completionFor(const OptionEntry& option) {
    switch (option.valueKind) {
    case ValueKind::file:
    case ValueKind::path: return "_morvale_convert_files";
    case ValueKind::words: return nullptr;  // written inline with its words
    default: return "return";               // a number or a text: nothing to offer
    }
}

}  // namespace

std::string renderBashCompletion() {
    std::string names;
    std::string valueCases;
    for (const OptionEntry& option : optionEntries()) {
        if (!option.wired) continue;
        for (const char* name : {option.shortName, option.longName}) {
            if (!name) continue;
            if (!names.empty()) names += ' ';
            names += name;
        }
        // An optional value is never completed: it may as well be the next input.
        if (!option.valueName || option.valueOptional) continue;
        valueCases += "        " + casePattern(option) + ")\n            ";
        if (const char* action = completionFor(option)) {
            valueCases += action;
        } else {
            valueCases += "COMPREPLY=($(compgen -W '";
            valueCases += option.words;
            valueCases += "' -- \"$cur\"))";
        }
        valueCases += "\n            return ;;\n";
    }

    std::string out =
        "# bash completion for morvale-convert -*- shell-script -*-\n"
        "# Made by morvale-make-cli-docs from the option table of --help; edit that.\n"
        "\n"
        "# File names, or with a pattern only matching files (and folders to walk into).\n"
        "_morvale_convert_files()\n"
        "{\n"
        "    if declare -F _filedir >/dev/null; then\n"
        "        _filedir \"$@\"\n"
        "    else\n"
        "        compopt -o filenames 2>/dev/null\n"
        "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
        "    fi\n"
        "}\n"
        "\n"
        "_morvale_convert()\n"
        "{\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=\n"
        "    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
        "    COMPREPLY=()\n"
        "    case $prev in\n";
    out += valueCases;
    out +=
        "    esac\n"
        "    if [[ $cur == -* ]]; then\n"
        "        COMPREPLY=($(compgen -W '";
    out += names;
    out +=
        "' -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    _morvale_convert_files '" +
        std::string(inputPattern) +
        "'\n"
        "} &&\n"
        "    complete -F _morvale_convert morvale-convert\n";
    return out;
}

}  // namespace morvale::cli
