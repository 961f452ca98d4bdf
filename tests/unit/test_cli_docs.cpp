// The manual page and the bash completion as users meet them: the page as
// man renders it says what --help says, section by section, word for word;
// the completion completes in a real bash.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <vector>

#include "test_support.h"

using namespace testing_support;

namespace {

std::string output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    pclose(pipe);
    return text;
}

bool haveCommand(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null").c_str()) == 0;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> list;
    for (std::string word; in >> word;) list.push_back(word);
    return list;
}

using Sections = std::map<std::string, std::string>;

// --help: the usage lines, the description, then "Heading:" sections.
Sections helpSections(const std::string& help) {
    Sections sections;
    std::istringstream in(help);
    std::string line, current = "SYNOPSIS";
    while (std::getline(in, line)) {
        if (current == "SYNOPSIS" && line.rfind("Usage: ", 0) != 0 && line.rfind("       ", 0) != 0)
            current = "DESCRIPTION";
        if (!line.empty() && line[0] != ' ' && line.back() == ':') {
            current.clear();
            for (const char c : line.substr(0, line.size() - 1)) current += static_cast<char>(std::toupper(c));
            continue;
        }
        if (current == "SYNOPSIS" && line.rfind("Usage: ", 0) == 0) line.erase(0, 7);
        sections[current] += line + "\n";
    }
    return sections;
}

// The rendered page: headings stand at the left edge; the first and the last
// line are the page's running title and foot.
Sections pageSections(const std::string& page) {
    Sections sections;
    std::vector<std::string> lines;
    std::istringstream in(page);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    while (!lines.empty() && words(lines.back()).empty()) lines.pop_back();
    std::string current;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        if (!lines[i].empty() && lines[i][0] != ' ')
            current = lines[i];
        else
            sections[current] += lines[i] + "\n";
    }
    return sections;
}

}  // namespace

TEST(CliDocs, TheManualPageSaysWhatTheHelpSays) {
    if (!haveCommand("man")) MORVALE_SKIP_UNLESS_CI("man is not installed");
    const std::string help = output(std::string("'") + MORVALE_CLI_PATH + "' --help");
    const std::string page =
        output(std::string("MANWIDTH=100 man -l '") + MORVALE_DOCS_DIR + "/morvale-convert.1.gz' 2>&1");
    const Sections fromHelp = helpSections(help);
    const Sections fromPage = pageSections(page);
    for (const char* section :
         {"SYNOPSIS", "DESCRIPTION", "OPTIONS", "OUTPUT FORMATS", "PRESETS", "EXIT STATUS", "EXAMPLES"}) {
        SCOPED_TRACE(section);
        ASSERT_TRUE(fromHelp.count(section)) << help;
        ASSERT_TRUE(fromPage.count(section)) << page;
        EXPECT_EQ(words(fromPage.at(section)), words(fromHelp.at(section)));
    }
    EXPECT_TRUE(fromPage.count("NAME"));
    // Every option the help names is in the page's options, and an exit status the code returns.
    EXPECT_NE(fromPage.at("OPTIONS").find("--output FILE"), std::string::npos);
    EXPECT_NE(fromPage.at("EXIT STATUS").find("130"), std::string::npos);
}

TEST(CliDocs, PresetsSayWhereTheAxesAndTheSizeGo) {
    // What a package's user sees, from the axis orders of the presets' table
    // (Blender's default import reads Y up and -Z forward).
    std::string said;
    for (const std::string& word :
         words(helpSections(output(std::string("'") + MORVALE_CLI_PATH + "' --help"))["PRESETS"]))
        said += word + " ";
    for (const char* preset :
         {"3ds-max Z up, east +X, north +Y; unit scale 1:",
          "blender Y up, east -X, north +Z; with Blender's default import Z up, east -X, north -Y; unit scale 2: "
          "twice the size",
          "cinema-4d Y up, east +X, north -Z; unit scale 1:", "maya Y up, east +X, north -Z; unit scale 100:",
          "unreal Z up, east +X, north +Y; unit scale 100:", "zbrush Y up, east +X, north -Z; unit scale 1:"})
        EXPECT_NE(said.find(preset), std::string::npos) << preset << "\n" << said;
}

TEST(CliDocs, BashCompletesOptionsTheirWordsAndGridFiles) {
    if (!haveCommand("bash")) MORVALE_SKIP_UNLESS_CI("bash is not installed");
    ScratchDir dir;
    writeFile(dir / "north.asc", "");
    writeFile(dir / "notes.txt", "");
    std::filesystem::create_directory(dir / "nested");
    // The completion as bash-completion would load it, without bash-completion's helpers.
    auto complete = [&](const std::string& line) {
        writeFile(dir / "complete.sh", "cd '" + dir.path().string() +
                                           "' && source '" MORVALE_DOCS_DIR "/morvale-convert.bash' && COMP_WORDS=(" +
                                           line +
                                           ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && _morvale_convert && "
                                           "printf '%s\\n' \"${COMPREPLY[@]}\" | sort | tr '\\n' ' '");
        return output("bash '" + (dir / "complete.sh").string() + "'");
    };
    EXPECT_EQ(complete("morvale-convert --mo"), "--mode ");
    EXPECT_EQ(complete("morvale-convert x.asc --mode ''"), "floating-planes interpolated ");
    EXPECT_EQ(complete("morvale-convert x.asc --preset ci"), "cinema-4d ");
    EXPECT_EQ(complete("morvale-convert --crop ''"), " ");  // a number: nothing to offer
    EXPECT_EQ(complete("morvale-convert x.asc -o no"), "north.asc notes.txt ");
    // The fallback without bash-completion offers every name; with it, grids and folders.
    EXPECT_NE(complete("morvale-convert n").find("north.asc"), std::string::npos);
}
