#include "tools/record/progress.h"

#include <algorithm>
#include <cmath>

#include "player/launcher.h"

namespace vexl::record {
namespace {

constexpr double bar_interval = 0.2;    // seconds between redraws
constexpr double line_interval = 10.0;  // seconds between plain lines
constexpr int bar_width = 24;

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

}  // namespace

std::string progress_text(std::int64_t done, std::int64_t total, double elapsed_seconds)
{
    const long long percent = total > 0 ? done * 100 / total : 100;
    char text[128];
    std::snprintf(text, sizeof text, "%3lld%% %lld/%lld frames", percent, static_cast<long long>(done),
                  static_cast<long long>(total));
    std::string line = text;
    if (done > 0 && elapsed_seconds > 0) {
        const double speed = static_cast<double>(done) / frames_per_second / elapsed_seconds;
        std::snprintf(text, sizeof text, ", %.1fx real time", speed);
        line += text;
        if (done < total) {
            const double left = static_cast<double>(total - done) / frames_per_second / speed;
            line += ", " + clock_text(left) + " left";
        }
    }
    return line;
}

Progress::Progress(std::FILE* out, ProgressStyle style, std::int64_t total_frames)
    : out_(out), style_(style), total_(total_frames)
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
    const auto filled = static_cast<int>(total_ > 0 ? done * bar_width / total_ : bar_width);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(bar_width, '-');
    // Back to the line's start, and clear what a longer line left.
    std::fprintf(out_, "\r[%s] %s\x1b[K", bar.c_str(), progress_text(done, total_, elapsed_seconds).c_str());
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
