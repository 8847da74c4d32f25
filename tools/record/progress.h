#pragma once
// How far a recording has come, on stderr: on a terminal a bar redrawn in
// place; otherwise a plain line now and then, for logs; or nothing.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace vexl::record {

enum class ProgressStyle { bar, lines, quiet };

// "42% 7421/17650 frames, 4.3x real time, 1:52 left": the time left once
// the speed is known.
std::string progress_text(std::int64_t done, std::int64_t total, double elapsed_seconds);

// The bar's line for a terminal `columns` wide (0: not known): the most of
// bar and text that fits short of the last column, so that it never wraps;
// the bar narrows first, then goes, then the speed, then the frame counts.
std::string progress_bar_line(std::int64_t done, std::int64_t total, double elapsed_seconds, int columns);

class Progress {
public:
    // `columns` tells the terminal's width at each redraw of the bar.
    Progress(std::FILE* out, ProgressStyle style, std::int64_t total_frames,
             std::function<int()> columns = {});

    // After each frame: `done` frames recorded in `elapsed_seconds`.
    void update(std::int64_t done, double elapsed_seconds);

    // Ends the bar's line, so what follows starts on a line of its own.
    void finish();

private:
    std::FILE* out_;
    ProgressStyle style_;
    std::int64_t total_;
    std::function<int()> columns_;
    double next_report_ = 0;  // elapsed seconds
    bool drawn_ = false;
};

}  // namespace vexl::record
