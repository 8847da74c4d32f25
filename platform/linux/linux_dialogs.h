#pragma once
// Message boxes on Linux, asked wherever the user can answer: on the
// terminal when standard input is one, else in a desktop message box, else
// (a script, a service) the default button is taken and both the question
// and the answer go to stderr. Yes/no questions answered beforehand
// (platform/linux/given_answers.h) are not asked again.

#include <deque>

#include "platform/dialogs.h"

namespace vexl::platform {

class LinuxTerminal;

class LinuxDialogs final : public Dialogs {
public:
    // `console`, when given, is handed back to the user while a question
    // is asked on the terminal it occupies. The answers given beforehand
    // come from the environment.
    explicit LinuxDialogs(LinuxTerminal* console);
    // Questions read from `in_fd` and written to `out_fd`; `use_desktop`
    // false keeps the desktop box out (tests); `given`: the first yes/no
    // answers, IDYES or IDNO.
    LinuxDialogs(int in_fd, int out_fd, LinuxTerminal* console, bool use_desktop, std::deque<int> given = {});
    ~LinuxDialogs() override;
    LinuxDialogs(const LinuxDialogs&) = delete;
    LinuxDialogs& operator=(const LinuxDialogs&) = delete;

    int message_box(WindowHandle owner, const char* text, const char* caption,
                    std::uint32_t type) override;

private:
    int ask_on_terminal(const char* text, const char* caption, std::uint32_t type);
    int ask_on_desktop(WindowHandle owner, const char* text, const char* caption,
                       std::uint32_t type);
    int answer_unasked(const char* text, const char* caption, std::uint32_t type);
    void say(const char* text);

    int in_fd_;
    int out_fd_;
    bool owns_out_ = false;
    LinuxTerminal* console_;
    bool use_desktop_;
    std::deque<int> given_;
};

}  // namespace vexl::platform
