#pragma once
// The console on Linux: the process's terminal, taken over for the run
// and given back as it was found (TerminalSession). The console keeps its
// screen buffer as a console does; what the terminal shows of it is the
// compositor's business (exact, centred or scaled to the terminal's size),
// and the painter sends only what changed.
//
// Output never blocks the caller. A frame goes out only when the previous
// one has left and term::the pacing decision lets it (the terminal's answers to status
// requests, the link's speed measured from them, how new the waiting frame
// is); meanwhile newer frames replace the waiting one in the buffer, so
// the terminal always gets the difference between what it was last sent
// and the newest picture. Job control is followed as a
// full-screen program should (term::next_job_step): Ctrl+Z gives the terminal
// back before the process stops; after it continues, or after a resize,
// the whole picture is drawn anew.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "term/cell_font.h"
#include "term/compositor.h"
#include "term/frame_painter.h"
#include "term/job_control_steps.h"
#include "term/output_pacing.h"
#include "platform/linux/terminal_output.h"
#include "term/terminal_replies.h"
#include "platform/linux/terminal_session.h"
#include "platform/messages.h"
#include "platform/terminal.h"

namespace vexl::platform {

// A descriptor of the terminal; `shared`: it shares its open file with the
// shell's descriptors, so it is non-blocking only while the terminal is held.
struct TerminalDescriptor {
    int fd = -1;
    bool shared = false;
};
TerminalDescriptor open_terminal_of(int fd);

// Also a message source: the player's loop looks at its queue every
// millisecond, which is when the console sends what is waiting, reads the
// terminal's answers and follows job-control signals, even while no new
// frame is due. When the terminal is gone it posts WM_QUIT.
class LinuxTerminal final : public Terminal, public MessageSource {
public:
    // The process's terminal: standard output's when it is one, else the
    // controlling terminal. Without either the console draws nowhere.
    // (open_terminal_of: its own descriptor where it can have one.)
    LinuxTerminal();
    // The terminal `fd` is open on (such as a pseudo-terminal in a test);
    // `fd` itself is neither changed nor closed.
    LinuxTerminal(int fd, term::ColorMode mode);
    ~LinuxTerminal() override;
    LinuxTerminal(const LinuxTerminal&) = delete;
    LinuxTerminal& operator=(const LinuxTerminal&) = delete;

    bool alloc_console() override;
    ConsoleHandle get_std_handle(StdHandle which) override;
    bool set_title(const char* title) override;
    bool set_cursor_info(ConsoleHandle console, const CursorInfo& info) override;
    bool set_screen_buffer_size(ConsoleHandle console, Coord size) override;
    bool set_window_info(ConsoleHandle console, bool absolute, const SmallRect& window) override;
    // Writes into the screen buffer (clipped to it) and shows the result
    // when the terminal is ready for it.
    bool write_output(ConsoleHandle console, const CharInfo* cells, Coord buffer_size,
                      Coord buffer_origin, SmallRect& region) override;
    bool free_console() override;

    void pump(MessageQueue& queue) override;

    // Hands the terminal back to the user for a moment (a question asked
    // on it); the console takes it again at its next output.
    void suspend();

    // Draws the buffer's glyphs for the scaled view; without one a smaller
    // terminal shows the top-left part of the buffer.
    void set_font(term::CellFont font) { compositor_.set_font(font); }

    struct Counts {
        std::uint64_t frames_written = 0;  // cell writes
        std::uint64_t frames_shown = 0;    // of those, sent to the terminal
        std::uint64_t frames_skipped = 0;  // replaced by a newer one before they could go
        std::uint64_t bytes = 0;           // sent to the terminal
    };
    Counts counts() const;
    // Nothing waits to go to the terminal: it has been sent the newest
    // picture (or is given back, or gone).
    bool idle() const { return !session_.taken() || output_.gone() || (output_.idle() && !needs_paint_); }
    std::uint64_t bytes_written() const { return output_.bytes_sent(); }

private:
    using Clock = std::chrono::steady_clock;

    LinuxTerminal(TerminalDescriptor terminal, term::ColorMode mode);

    bool valid(ConsoleHandle console) const;
    void follow_job_control();
    void apply(term::JobEvent event);
    void take();
    void leave();
    void settle_answers(bool cut);
    void service();
    void read_replies();
    void take_answers(const term::TerminalReplies::Found& found, Clock::time_point now);
    void paint();
    term::TerminalSize terminal_size() const;
    double cell_aspect(const term::TerminalSize& size);
    void tell_after_run();

    int fd_ = -1;  // a descriptor of its own, non-blocking
    TerminalOutput output_;
    TerminalSession session_;
    term::TerminalReplies replies_;
    term::LinkState pacing_;
    term::Compositor compositor_;
    term::FramePainter painter_;
    std::string frame_;
    bool allocated_ = false;
    bool quit_posted_ = false;

    // The console's screen buffer: what it shows, whatever the terminal.
    int buffer_rows_ = 50;
    int buffer_cols_ = 80;
    std::vector<CharInfo> buffer_;
    bool needs_paint_ = false;     // the terminal does not show the buffer as it is
    term::PictureLayout layout_;
    Clock::time_point next_paint_at_{};  // the last paint took as long again

    // Cell size in pixels as the terminal answered (CSI 16 t), when its
    // window size gives none; asked once, believed only shortly after.
    int answered_cell_width_ = 0;
    int answered_cell_height_ = 0;
    bool cell_size_asked_ = false;
    Clock::time_point cell_size_asked_at_{};

    unsigned seen_continues_ = 0;  // JobControlSignals counts already followed
    unsigned seen_resizes_ = 0;

    std::uint64_t frames_written_ = 0;
    std::uint64_t frames_shown_ = 0;
    std::uint64_t frames_skipped_ = 0;
    std::uint64_t shown_up_to_ = 0;  // frames_written_ when the terminal was last painted
};

}  // namespace vexl::platform
