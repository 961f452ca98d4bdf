#include "cli/terminal_progress.h"

namespace morvale::cli {

TerminalProgress::~TerminalProgress() {
    if (drawn_) std::fputc('\n', out_);
}

void TerminalProgress::showPreparing() {
    stage_ = "Preparing...";
    draw();
}

void TerminalProgress::beginStage(std::string_view text, int step) {
    stage_ = std::string(text);
    increment_ = step;
    position_ = 0;
    draw();
}

void TerminalProgress::step() {
    // Past the top the bar starts again from the bottom, as the window's bar does.
    position_ += increment_;
    if (position_ > 100) position_ = increment_;
    draw();
}

void TerminalProgress::draw() {
    constexpr int width = 30;
    char bar[width + 1];
    const int filled = position_ * width / 100;
    for (int i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '.';
    bar[width] = '\0';
    std::fprintf(out_, "\r[%s] %3d%%  %-72.72s", bar, position_, stage_.c_str());
    std::fflush(out_);
    drawn_ = true;
}

}  // namespace morvale::cli
