#pragma once
// A tmux server of its own (unique socket) running one command in a pane
// of 80 x 50 (or any size), for driving the real player as a user would.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace vexl::testing {

inline std::string shell_quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

inline std::string run_output(const std::string& command)
{
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

class TmuxSession {
public:
    // `config_dir` receives the server's configuration file.
    TmuxSession(const std::string& name, const std::string& config_dir, const std::string& command, int rows = 50,
                int cols = 80)
        : socket_(name)
    {
        const std::string config = config_dir + "/tmux.conf";
        std::ofstream(config) << "set -g status off\nset -g history-limit 0\n"
                                 "set -g default-terminal tmux-256color\n";
        std::system((tmux() + " -f " + shell_quote(config) + " new-session -d -x " + std::to_string(cols) + " -y " +
                     std::to_string(rows) + " " + shell_quote(command))
                        .c_str());
    }
    ~TmuxSession() { std::system((tmux() + " kill-server 2>/dev/null").c_str()); }
    TmuxSession(const TmuxSession&) = delete;
    TmuxSession& operator=(const TmuxSession&) = delete;

    std::string tmux() const { return "tmux -L " + shell_quote(socket_); }

    void send_keys(const std::string& keys) const
    {
        std::system((tmux() + " send-keys " + keys).c_str());
    }
    // The pane's text; with colours as SGR sequences when `escapes`.
    std::string capture(bool escapes = false) const
    {
        return run_output(tmux() + " capture-pane -p -N" + (escapes ? " -e" : "") + " 2>/dev/null");
    }
    void resize(int rows, int cols) const
    {
        std::system((tmux() + " resize-window -x " + std::to_string(cols) + " -y " + std::to_string(rows)).c_str());
    }
    std::string format(const std::string& fmt) const
    {
        return run_output(tmux() + " display-message -p " + shell_quote(fmt) + " 2>/dev/null");
    }

    // Polls until `done` holds; false when `limit` passes first. Generous
    // limits keep this robust on a loaded machine.
    static bool wait_for(const std::function<bool()>& done,
                         std::chrono::milliseconds limit = std::chrono::seconds(30))
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return done();
    }

    bool wait_for_text(const std::string& text,
                       std::chrono::milliseconds limit = std::chrono::seconds(30)) const
    {
        return wait_for([&] { return capture().find(text) != std::string::npos; }, limit);
    }

private:
    std::string socket_;
};

}  // namespace vexl::testing
