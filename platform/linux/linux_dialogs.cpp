#include "platform/linux/linux_dialogs.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "platform/linux/fd_write.h"
#include "platform/linux/given_answers.h"
#include "platform/linux/linux_terminal.h"
#include "platform/linux/sdl_display.h"
#include "platform/linux/termination_signals.h"

namespace vexl::platform {
namespace {

bool blank(const std::string& line)
{
    for (char c : line)
        if (std::isspace(static_cast<unsigned char>(c)) == 0)
            return false;
    return true;
}

}  // namespace

LinuxDialogs::LinuxDialogs(LinuxTerminal* console) : in_fd_(STDIN_FILENO), console_(console), use_desktop_(true)
{
    // The question goes where the user sees it even when stdout is
    // redirected; stderr if there is no controlling terminal.
    out_fd_ = ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    owns_out_ = out_fd_ >= 0;
    if (!owns_out_)
        out_fd_ = STDERR_FILENO;
    if (const char* given = std::getenv(given_answers_variable)) {
        std::string problem;
        given_ = parse_given_answers(given, problem);
        if (!problem.empty())
            std::fprintf(stderr, "%s: %s; the questions are asked instead\n", given_answers_variable, problem.c_str());
    }
}

LinuxDialogs::LinuxDialogs(int in_fd, int out_fd, LinuxTerminal* console, bool use_desktop, std::deque<int> given)
    : in_fd_(in_fd), out_fd_(out_fd), console_(console), use_desktop_(use_desktop), given_(std::move(given))
{
}

LinuxDialogs::~LinuxDialogs()
{
    if (owns_out_)
        ::close(out_fd_);
}

int LinuxDialogs::message_box(WindowHandle owner, const char* text, const char* caption,
                              std::uint32_t type)
{
    if (text == nullptr)
        text = "";
    if (caption == nullptr)
        caption = "";
    // A quit request is already on its way: asking would only delay it.
    if (TerminationSignals::pending())
        return default_button(type);
    if (type == MB_YESNO && !given_.empty()) {
        const int answer = given_.front();
        given_.pop_front();
        return answer;
    }
    const bool terminal = isatty(in_fd_) != 0;
    // With an owner window the user looks at that window, not the terminal.
    if (terminal && owner == nullptr)
        return ask_on_terminal(text, caption, type);
    const int answer = ask_on_desktop(owner, text, caption, type);
    if (answer != 0)
        return answer;
    if (terminal)
        return ask_on_terminal(text, caption, type);
    return answer_unasked(text, caption, type);
}

void LinuxDialogs::say(const char* text)
{
    write_all(out_fd_, text, std::strlen(text));
}

int LinuxDialogs::ask_on_terminal(const char* text, const char* caption, std::uint32_t type)
{
    if (console_ != nullptr)
        console_->suspend();
    const bool yes_no = type == MB_YESNO;
    const std::string prompt = std::string(text) + (yes_no ? " [Y/n] " : " [press Enter] ");
    say("\n");
    say(caption);
    say("\n");
    say(prompt.c_str());

    std::string line;
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(in_fd_, &c, 1);
        if (n < 0 && errno == EINTR && !TerminationSignals::pending())
            continue;
        if (n <= 0) {
            // End of input or Ctrl+C: the default button, as Enter.
            say("\n");
            return default_button(type);
        }
        if (c != '\n') {
            if (line.size() < 256)
                line.push_back(c);
            continue;
        }
        if (!yes_no)
            return IDOK;
        if (blank(line))
            return IDYES;
        if (const int answer = read_yes_no(line); answer != 0)
            return answer;
        line.clear();
        say("Please answer y or n (Enter = yes): ");
    }
}

int LinuxDialogs::ask_on_desktop(WindowHandle owner, const char* text, const char* caption,
                                 std::uint32_t type)
{
    if (!use_desktop_ || !desktop_display_named())
        return 0;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return 0;
    SDL_MessageBoxButtonData buttons[2] = {};
    int count = 0;
    if (type == MB_YESNO) {
        // Escape declines, as closing the box does.
        buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"};
        buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"};
    } else {
        buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                            IDOK, "OK"};
    }
    // Parented to the owner so the box comes up over a full-screen window
    // instead of behind it.
    const SDL_MessageBoxData data = {SDL_MESSAGEBOX_INFORMATION, sdl_window_of(owner), caption, text,
                                     count, buttons, nullptr};
    int chosen = -1;
    const int shown = SDL_ShowMessageBox(&data, &chosen);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (shown != 0)
        return 0;
    // Closing the box without a button declines the question.
    if (chosen < 0)
        return type == MB_YESNO ? IDNO : IDOK;
    return chosen;
}

int LinuxDialogs::answer_unasked(const char* text, const char* caption, std::uint32_t type)
{
    const int answer = default_button(type);
    std::fprintf(stderr, "%s: %s -> %s (no terminal or display to ask on)\n", caption, text,
                 button_name(answer));
    return answer;
}

}  // namespace vexl::platform
