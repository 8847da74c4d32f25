#include "platform/linux/linux_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/linux/job_control_signals.h"
#include "platform/run_report.h"

namespace vexl::platform {
namespace {

// The one screen buffer a console has; handles point at it.
char buffer_tag;
ConsoleBuffer* const the_buffer = reinterpret_cast<ConsoleBuffer*>(&buffer_tag);

// A screen buffer larger than this is refused (a console's are far smaller).
constexpr long largest_buffer = 1L << 20;

// Terminals answer a cell-size request at once or never.
constexpr auto cell_size_answer_time = std::chrono::milliseconds(250);
constexpr const char status_request[] = "\x1b[5n";
// Its answer differs from the status reports and comes after them.
constexpr const char attributes_request[] = "\x1b[c";
constexpr const char cell_size_request[] = "\x1b[16t";

// A descriptor of our own on the terminal, so that making it non-blocking
// leaves the shell's descriptors (which share the standard ones) alone.
int open_private(const char* path)
{
    return ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
}

bool same_device(int a, int b)
{
    struct stat first {}, second {};
    return fstat(a, &first) == 0 && fstat(b, &second) == 0 && first.st_rdev == second.st_rdev;
}

}  // namespace

// The terminal `fd` is open on, by its name; or, where the name can't be
// opened (another user's terminal, as after su), through /dev/tty when
// that is the same terminal; or else `fd`'s own open file, shared with
// the shell.
TerminalDescriptor open_terminal_of(int fd)
{
    if (fd < 0 || isatty(fd) == 0)
        return {};
    char name[256];
    if (ttyname_r(fd, name, sizeof name) == 0)
        if (const int own = open_private(name); own >= 0)
            return {own, false};
    if (const int controlling = open_private("/dev/tty"); controlling >= 0) {
        if (same_device(controlling, fd))
            return {controlling, false};
        ::close(controlling);
    }
    return {fcntl(fd, F_DUPFD_CLOEXEC, 0), true};
}

LinuxTerminal::LinuxTerminal()
    : LinuxTerminal(-1, term::detect_color_mode(std::getenv("COLORTERM"), std::getenv("TERM")))
{
}

LinuxTerminal::LinuxTerminal(int fd, term::ColorMode mode)
    : LinuxTerminal(fd >= 0                         ? open_terminal_of(fd)
                    : isatty(STDOUT_FILENO) != 0    ? open_terminal_of(STDOUT_FILENO)
                                                    : TerminalDescriptor{open_private("/dev/tty"), false},
                    mode)
{
}

LinuxTerminal::LinuxTerminal(TerminalDescriptor terminal, term::ColorMode mode)
    : fd_(terminal.fd),
      output_(fd_),
      session_(fd_, output_, terminal.shared),
      compositor_(mode),
      painter_(mode)
{
}

LinuxTerminal::~LinuxTerminal()
{
    free_console();
    if (fd_ >= 0)
        ::close(fd_);
}

bool LinuxTerminal::valid(ConsoleHandle console) const
{
    return allocated_ && console == the_buffer;
}

bool LinuxTerminal::alloc_console()
{
    if (allocated_)
        return false;
    allocated_ = true;
    buffer_.assign(static_cast<std::size_t>(buffer_rows_ * buffer_cols_), CharInfo{});
    seen_continues_ = JobControlSignals::continues();
    seen_resizes_ = JobControlSignals::resizes();
    take();
    return true;
}

ConsoleHandle LinuxTerminal::get_std_handle(StdHandle which)
{
    // No terminal, no screen buffer: the console screen can show nothing.
    return allocated_ && fd_ >= 0 && which == StdHandle::output ? the_buffer : nullptr;
}

void LinuxTerminal::take()
{
    if (fd_ < 0 || session_.taken())
        return;
    session_.take();
    pacing_.restart();
    if (pacing_.asks()) {
        // Answered at once by a terminal that answers at all.
        output_.queue(status_request);
        pacing_.requested_alone(Clock::now());
    }
    if (!cell_size_asked_ && term::cell_aspect_of(terminal_size()) == 0) {
        cell_size_asked_ = true;
        cell_size_asked_at_ = Clock::now();
        output_.queue(cell_size_request);
    }
    painter_.invalidate();
    needs_paint_ = frames_written_ > 0;  // nothing to show before the first frame
    output_.flush();
}

void LinuxTerminal::leave()
{
    if (!session_.taken()) {
        session_.give_back(false, [] {});
        return;
    }
    // When the terminal is behind (a frame still waits here, or it has not
    // answered for one yet), what it has not taken is dropped: the user
    // wants the terminal back now, not after a frame nobody will see.
    const bool behind = !output_.idle() || pacing_.unanswered() > 0;
    output_.discard();
    session_.give_back(behind, [&] { settle_answers(behind); });
    painter_.invalidate();
    needs_paint_ = true;
}

// Reads the answers still on their way before the shell could: a terminal
// known to answer is asked once more, and that answer comes last. After a
// cut some requests were never sent, so the answers end when they stop
// coming.
void LinuxTerminal::settle_answers(bool cut)
{
    if (output_.gone() || pacing_.mode() == term::LinkState::Mode::silent)
        return;
    int expected = pacing_.unanswered() + (pacing_.asking_where_answers_are() ? 1 : 0);
    if (pacing_.mode() == term::LinkState::Mode::answering) {
        TerminalOutput::write_urgently(fd_, status_request, sizeof status_request - 1, false);
        ++expected;
    }
    // As long as the answers have taken lately: an answer that came later
    // would reach the shell.
    const auto end = Clock::now() + pacing_.settle_time();
    int answered = 0;
    for (auto now = Clock::now(); now < end && answered < expected; now = Clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
        const bool ending = cut && answered > 0;
        pollfd input{fd_, POLLIN, 0};
        if (poll(&input, 1, ending ? 30 : static_cast<int>(left) + 1) <= 0) {
            if (ending)
                return;
            continue;
        }
        const term::TerminalReplies::Found found = replies_.feed(output_.read_input());
        answered += found.status_reports + (found.attributes_answered ? 1 : 0);
        take_answers(found, Clock::now());
        if (output_.gone())
            return;
    }
}

// On the main thread: between frames, never in the middle of one.
void LinuxTerminal::follow_job_control()
{
    if (!allocated_ || fd_ < 0)
        return;
    if (JobControlSignals::take_stop_request())
        apply(term::JobEvent::stop_request);
    if (JobControlSignals::continues() != seen_continues_) {
        seen_continues_ = JobControlSignals::continues();
        apply(term::JobEvent::continued);
    }
    if (JobControlSignals::resizes() != seen_resizes_) {
        seen_resizes_ = JobControlSignals::resizes();
        apply(term::JobEvent::resized);
    }
}

void LinuxTerminal::apply(term::JobEvent event)
{
    const term::JobStep step = term::next_job_step(session_.hold(), event);
    if ((step.actions & term::JobAction::leave) != 0)
        leave();
    if ((step.actions & term::JobAction::stop) != 0) {
        JobControlSignals::stop_process();
        seen_continues_ = JobControlSignals::continues();  // that continue is this one
    }
    if ((step.actions & term::JobAction::take) != 0)
        take();
    if ((step.actions & term::JobAction::retake_modes) != 0) {
        session_.retake_modes();
        output_.flush();
    }
    if ((step.actions & (term::JobAction::repaint | term::JobAction::retake_modes)) != 0) {
        // The terminal may have reflowed, cleared or been written over.
        painter_.invalidate();
        needs_paint_ = true;
    }
}

void LinuxTerminal::pump(MessageQueue& queue)
{
    follow_job_control();
    service();
    if (output_.gone() && !quit_posted_) {
        // Nobody can see the picture any more: the run ends as after Ctrl+C.
        quit_posted_ = true;
        Message quit;
        quit.code = WM_QUIT;
        queue.post(quit);
    }
}

// Answers come in order; those before the attributes are owed from before
// they were asked.
void LinuxTerminal::take_answers(const term::TerminalReplies::Found& found, Clock::time_point now)
{
    if (!found.attributes_answered) {
        pacing_.answered(found.status_reports, now);
        return;
    }
    pacing_.answered(found.reports_before_attributes, now);
    pacing_.attributes_answered(now);
    pacing_.answered(found.status_reports - found.reports_before_attributes, now);
}

void LinuxTerminal::read_replies()
{
    const term::TerminalReplies::Found found = replies_.feed(output_.read_input());
    const auto now = Clock::now();
    take_answers(found, now);
    if (found.cell_width > 0 && cell_size_asked_ && now - cell_size_asked_at_ <= cell_size_answer_time) {
        answered_cell_width_ = found.cell_width;
        answered_cell_height_ = found.cell_height;
        needs_paint_ = true;  // the scaled picture's shape may change
    }
}

// Sends what is waiting and, once the way is free, the newest picture.
void LinuxTerminal::service()
{
    if (!allocated_ || !session_.taken() || output_.gone())
        return;
    read_replies();
    output_.flush();
    if (!needs_paint_ || output_.gone())
        return;
    const auto now = Clock::now();
    const term::LocalOutput local{output_.idle(), static_cast<std::size_t>(std::max(output_.system_backlog(), 0)),
                                  next_paint_at_};
    const term::PaceDecision decision = term::decide(now, pacing_, local);
    if (decision.stop_asking)
        pacing_.stop_asking();
    if (decision.ask_where_answers_are) {
        output_.queue(attributes_request);
        pacing_.asked_where_answers_are(now);
        output_.flush();
    }
    if (decision.action != term::PaceDecision::Action::send)
        return;
    paint();
    const auto done = Clock::now();
    next_paint_at_ = done + (done - now);
}

double LinuxTerminal::cell_aspect(const term::TerminalSize& size)
{
    const double from_size = term::cell_aspect_of(size);
    if (from_size > 0)
        return from_size;
    if (answered_cell_width_ > 0) {
        if (const double aspect = term::cell_aspect_of({1, 1, answered_cell_width_, answered_cell_height_}); aspect > 0)
            return aspect;
    }
    return term::usual_cell_aspect;
}

term::TerminalSize LinuxTerminal::terminal_size() const
{
    winsize size{};
    if (ioctl(fd_, TIOCGWINSZ, &size) != 0)
        return {};
    return {size.ws_row, size.ws_col, size.ws_xpixel, size.ws_ypixel};
}

void LinuxTerminal::paint()
{
    const term::TerminalSize size = terminal_size();
    const term::PictureLayout layout =
        term::choose_layout(buffer_rows_, buffer_cols_, compositor_.glyph_width(), compositor_.glyph_height(), size.rows,
                            size.cols, cell_aspect(size), compositor_.can_scale());
    if (layout != layout_) {
        layout_ = layout;
        painter_.invalidate();  // margins cleared, the picture drawn whole
    }
    painter_.set_screen_size(size.rows, size.cols);
    painter_.begin(frame_);
    compositor_.compose(buffer_.data(), buffer_rows_, buffer_cols_, layout_, painter_);
    if (painter_.end()) {
        output_.queue(frame_);
        if (pacing_.asks()) {
            output_.queue(status_request);
            pacing_.requested(Clock::now(), frame_.size() + sizeof status_request - 1);
        }
    }
    needs_paint_ = false;
    if (frames_written_ > shown_up_to_) {
        ++frames_shown_;
        frames_skipped_ += frames_written_ - shown_up_to_ - 1;
        shown_up_to_ = frames_written_;
    }
    output_.flush();
}

void LinuxTerminal::suspend()
{
    apply(term::JobEvent::give_back);
}

bool LinuxTerminal::set_title(const char* title)
{
    if (!allocated_ || title == nullptr)
        return false;
    session_.set_title(title);
    output_.flush();
    return true;
}

bool LinuxTerminal::set_cursor_info(ConsoleHandle console, const CursorInfo& info)
{
    if (!valid(console))
        return false;
    session_.set_cursor_visible(info.visible);
    output_.flush();
    return true;
}

bool LinuxTerminal::set_screen_buffer_size(ConsoleHandle console, Coord size)
{
    if (!valid(console) || size.x < 0 || size.y < 0 || long{size.x} * size.y > largest_buffer)
        return false;
    if (size.y != buffer_rows_ || size.x != buffer_cols_) {
        buffer_rows_ = size.y;
        buffer_cols_ = size.x;
        buffer_.assign(static_cast<std::size_t>(buffer_rows_ * buffer_cols_), CharInfo{});
        needs_paint_ = true;
    }
    return true;
}

bool LinuxTerminal::set_window_info(ConsoleHandle console, bool absolute, const SmallRect& window)
{
    if (!valid(console) || !absolute)
        return false;
    const int rows = window.bottom - window.top + 1;
    const int cols = window.right - window.left + 1;
    if (rows <= 0 || cols <= 0)
        return false;
    winsize size{};
    if (fd_ >= 0 && ioctl(fd_, TIOCGWINSZ, &size) == 0 && (rows != size.ws_row || cols != size.ws_col)) {
        // Terminals that allow it resize their window; the others ignore
        // the request. Either way the size is read back before each frame.
        session_.request_size(rows, cols, size.ws_row, size.ws_col);
        output_.flush();
    }
    return true;
}

bool LinuxTerminal::write_output(ConsoleHandle console, const CharInfo* cells, Coord buffer_size,
                                 Coord buffer_origin, SmallRect& region)
{
    if (!valid(console) || cells == nullptr)
        return false;
    follow_job_control();
    apply(term::JobEvent::output);

    // Clip the region to the screen buffer and to the part of the source
    // that lies behind the origin.
    const int top = std::max<int>(region.top, 0), left = std::max<int>(region.left, 0);
    int bottom = std::min(region.bottom, static_cast<std::int16_t>(buffer_rows_ - 1));
    int right = std::min(region.right, static_cast<std::int16_t>(buffer_cols_ - 1));
    bottom = std::min(bottom, region.top + buffer_size.y - buffer_origin.y - 1);
    right = std::min(right, region.left + buffer_size.x - buffer_origin.x - 1);
    if (buffer_origin.x < 0 || buffer_origin.y < 0 || buffer_size.x <= 0 || buffer_size.y <= 0)
        bottom = top - 1;
    for (int y = top; y <= bottom; ++y) {
        const int source_row = buffer_origin.y + (y - region.top);
        for (int x = left; x <= right; ++x)
            buffer_[static_cast<std::size_t>(y * buffer_cols_ + x)] =
                cells[source_row * buffer_size.x + buffer_origin.x + (x - region.left)];
    }
    if (bottom < top || right < left) {
        region.right = static_cast<std::int16_t>(region.left - 1);
        region.bottom = static_cast<std::int16_t>(region.top - 1);
    } else {
        region = {static_cast<std::int16_t>(left), static_cast<std::int16_t>(top), static_cast<std::int16_t>(right),
                  static_cast<std::int16_t>(bottom)};
    }
    ++frames_written_;
    needs_paint_ = true;
    pacing_.presented(Clock::now());
    service();
    return true;
}

LinuxTerminal::Counts LinuxTerminal::counts() const
{
    Counts counts;
    counts.frames_written = frames_written_;
    counts.frames_shown = frames_shown_;
    // Of the frames still waiting, the newest is not skipped (yet): it may
    // just have come, or the run ended right after it.
    counts.frames_skipped = frames_skipped_ + (frames_written_ > shown_up_to_ ? frames_written_ - shown_up_to_ - 1 : 0);
    counts.bytes = output_.bytes_sent();
    return counts;
}

void LinuxTerminal::tell_after_run()
{
    if (fd_ < 0)
        return;  // there was no terminal to show anything on
    if (output_.gone()) {
        report_after_run("the terminal stopped taking output (" + output_.failure() + ")");
        return;
    }
    const Counts c = counts();
    if (c.frames_skipped > 0)
        report_after_run("the terminal could not keep up: " + std::to_string(c.frames_shown) + " frames shown, " +
                         std::to_string(c.frames_skipped) + " skipped, " + std::to_string(c.bytes) + " bytes sent");
}

bool LinuxTerminal::free_console()
{
    if (!allocated_)
        return false;
    apply(term::JobEvent::give_back);
    tell_after_run();
    allocated_ = false;
    session_.reset();
    buffer_rows_ = 50;
    buffer_cols_ = 80;
    buffer_.clear();
    frames_written_ = frames_shown_ = frames_skipped_ = shown_up_to_ = 0;
    layout_ = term::PictureLayout{};
    return true;
}

}  // namespace vexl::platform
