#pragma once
// How far a recording has come, on stderr: on a terminal a bar redrawn in
// place; otherwise a plain line now and then, for logs; or nothing.

#include <cstdint>
#include <cstdio>
#include <string>

namespace vexl::record {

enum class ProgressStyle { bar, lines, quiet };

// "42% 7421/17650 frames, 4.3x real time, 1:52 left": the time left once
// the speed is known.
std::string progress_text(std::int64_t done, std::int64_t total, double elapsed_seconds);

class Progress {
public:
    Progress(std::FILE* out, ProgressStyle style, std::int64_t total_frames);

    // After each frame: `done` frames recorded in `elapsed_seconds`.
    void update(std::int64_t done, double elapsed_seconds);

    // Ends the bar's line, so what follows starts on a line of its own.
    void finish();

private:
    std::FILE* out_;
    ProgressStyle style_;
    std::int64_t total_;
    double next_report_ = 0;  // elapsed seconds
    bool drawn_ = false;
};

}  // namespace vexl::record
