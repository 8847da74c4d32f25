#include "tools/record/progress.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "player/launcher.h"

namespace vexl::record {
namespace {

constexpr double bar_interval = 0.2;    // seconds between redraws
constexpr double line_interval = 10.0;  // seconds between plain lines
constexpr int bar_width = 24;
constexpr int narrowest_bar = 10;
constexpr int unknown_columns = 80;

std::string clock_text(double seconds)
{
    const auto whole = static_cast<long long>(std::lround(seconds));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

struct ProgressParts {
    std::string percent;  // " 42%"
    std::string frames;   // "7421/17650 frames"
    std::string speed;    // "4.3x real time", once known
    std::string left;     // "1:52 left", once known and not done
};

ProgressParts progress_parts(std::int64_t done, std::int64_t total, double elapsed_seconds)
{
    ProgressParts parts;
    const long long percent = total > 0 ? done * 100 / total : 100;
    char text[64];
    std::snprintf(text, sizeof text, "%3lld%%", percent);
    parts.percent = text;
    std::snprintf(text, sizeof text, "%lld/%lld frames", static_cast<long long>(done),
                  static_cast<long long>(total));
    parts.frames = text;
    if (done > 0 && elapsed_seconds > 0) {
        const double speed = static_cast<double>(done) / frames_per_second / elapsed_seconds;
        std::snprintf(text, sizeof text, "%.1fx real time", speed);
        parts.speed = text;
        if (done < total)
            parts.left = clock_text(static_cast<double>(total - done) / frames_per_second / speed) + " left";
    }
    return parts;
}

std::string joined(const ProgressParts& parts, bool frames, bool speed)
{
    std::string line = parts.percent;
    if (frames)
        line += " " + parts.frames;
    for (const std::string* part : {speed ? &parts.speed : nullptr, &parts.left})
        if (part != nullptr && !part->empty())
            line += ", " + *part;
    return line;
}

}  // namespace

std::string progress_text(std::int64_t done, std::int64_t total, double elapsed_seconds)
{
    return joined(progress_parts(done, total, elapsed_seconds), true, true);
}

std::string progress_bar_line(std::int64_t done, std::int64_t total, double elapsed_seconds, int columns)
{
    // The last column is left free: writing there makes some terminals wrap.
    const int terminal_width = columns > 0 ? columns : unknown_columns;
    const std::size_t room = static_cast<std::size_t>(std::max(terminal_width, 2) - 1);
    const ProgressParts parts = progress_parts(done, total, elapsed_seconds);
    const std::string full = joined(parts, true, true);
    for (int width = bar_width; width >= narrowest_bar; --width) {
        if (static_cast<std::size_t>(width) + 3 + full.size() > room)
            continue;
        const auto filled = static_cast<std::size_t>(total > 0 ? done * width / total : width);
        std::string bar(filled, '#');
        bar.resize(static_cast<std::size_t>(width), '-');
        return "[" + bar + "] " + full;
    }
    for (const std::string& line : {full, joined(parts, true, false), joined(parts, false, false)})
        if (line.size() <= room)
            return line;
    return parts.percent.substr(0, room);
}

Progress::Progress(std::FILE* out, ProgressStyle style, std::int64_t total_frames,
                   std::function<int()> columns)
    : out_(out), style_(style), total_(total_frames), columns_(std::move(columns))
{
    if (style_ == ProgressStyle::lines)
        next_report_ = line_interval;
}

void Progress::update(std::int64_t done, double elapsed_seconds)
{
    if (style_ == ProgressStyle::quiet || (elapsed_seconds < next_report_ && done < total_))
        return;
    if (style_ == ProgressStyle::lines) {
        next_report_ = elapsed_seconds + line_interval;
        if (done < total_)  // the summary tells the end
            std::fprintf(out_, "vexl record: %s\n", progress_text(done, total_, elapsed_seconds).c_str());
        return;
    }
    next_report_ = elapsed_seconds + bar_interval;
    // Asked every time: the terminal may have been resized.
    const int columns = columns_ ? columns_() : 0;
    // Back to the line's start, and clear what a longer line left.
    std::fprintf(out_, "\r%s\x1b[K", progress_bar_line(done, total_, elapsed_seconds, columns).c_str());
    std::fflush(out_);
    drawn_ = true;
}

void Progress::finish()
{
    if (drawn_)
        std::fputc('\n', out_);
    drawn_ = false;
}

}  // namespace vexl::record
