#pragma once
// A pseudo-terminal pair for driving the real terminal code in tests.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace vexl::testing {

// The master side is read all the time on a thread of its own, as a
// terminal does, so the code under test never blocks on a full buffer
// (unless the test pauses it). Like most terminals it can answer status
// requests (CSI 5 n), once the bytes before them have been read.
class Pty {
public:
    int master = -1;
    int slave = -1;

    Pty(int rows, int cols)
    {
        winsize ws{};
        ws.ws_row = static_cast<unsigned short>(rows);
        ws.ws_col = static_cast<unsigned short>(cols);
        if (openpty(&master, &slave, nullptr, nullptr, &ws) != 0) {
            master = slave = -1;
            return;
        }
        reader_ = std::thread([this] { read_master(); });
    }
    ~Pty()
    {
        stop_ = true;
        if (reader_.joinable())
            reader_.join();
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // The terminal goes away (a closed window, a dropped connection).
    void hang_up()
    {
        stop_ = true;
        if (reader_.joinable())
            reader_.join();
        ::close(master);
        master = -1;
    }

    void resize(int rows, int cols) const
    {
        winsize ws{};
        ws.ws_row = static_cast<unsigned short>(rows);
        ws.ws_col = static_cast<unsigned short>(cols);
        ioctl(master, TIOCSWINSZ, &ws);
    }

    // Takes what arrived, once nothing more came for `quiet` (waiting up
    // to `first` for anything at all).
    std::string drain(std::chrono::milliseconds first = std::chrono::milliseconds(2000),
                      std::chrono::milliseconds quiet = std::chrono::milliseconds(50))
    {
        const auto start = std::chrono::steady_clock::now();
        std::size_t seen = size();
        auto last_change = start;
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const auto now = std::chrono::steady_clock::now();
            const std::size_t current = size();
            if (current != seen) {
                seen = current;
                last_change = now;
            }
            if (seen > 0 ? now - last_change >= quiet : now - start >= first)
                break;
        }
        std::lock_guard lock(mutex_);
        std::string out;
        out.swap(received_);
        return out;
    }

    // Takes what arrived up to and including `marker` (or all, when the
    // time is up first).
    std::string read_until(const std::string& marker,
                           std::chrono::milliseconds limit = std::chrono::milliseconds(10000))
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                const std::size_t at = received_.find(marker);
                if (at != std::string::npos || std::chrono::steady_clock::now() >= end) {
                    const std::size_t cut = at == std::string::npos ? received_.size() : at + marker.size();
                    std::string out = received_.substr(0, cut);
                    received_.erase(0, cut);
                    return out;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    // Stops or resumes reading, as a terminal that is stuck or slow. Once
    // pause(true) returns, nothing more is read.
    void pause(bool paused)
    {
        paused_ = paused;
        while (paused && !parked_)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // fork(2) with the reader parked: a thread inside the allocator at the
    // moment of the fork would leave the child's allocator locked for good
    // (seen with AddressSanitizer's).
    pid_t fork()
    {
        pause(true);
        const pid_t pid = ::fork();
        if (pid != 0)
            pause(false);
        return pid;
    }
    // Answers status requests from now on, and device-attributes requests
    // among them in order; with `hold`, only as many status requests as
    // release_answers() allows (and nothing after them).
    void answer_status(bool hold = false)
    {
        answering_ = true;
        holding_ = hold;
    }
    void release_answers(int count) { released_ += count; }
    // The answers to the next `count` status requests go missing, as when
    // something else reads them from the terminal's input.
    void lose_answers(int count) { to_lose_ += count; }
    int status_requests() const { return requests_; }

    bool echo_on() const
    {
        termios t{};
        tcgetattr(slave, &t);
        return (t.c_lflag & ECHO) != 0;
    }

    void type(const std::string& text) const
    {
        [[maybe_unused]] const ssize_t n = ::write(master, text.data(), text.size());
    }

private:
    std::size_t size()
    {
        std::lock_guard lock(mutex_);
        return received_.size();
    }

    void read_master()
    {
        std::string tail;  // a request may be split between reads
        std::deque<bool> asked;  // in order: true a status request, false the attributes
        int answered = 0;
        while (!stop_) {
            while (answering_ && !asked.empty() && (!asked.front() || !holding_ || answered < released_)) {
                const bool status = asked.front();
                asked.pop_front();
                if (status && to_lose_ > 0) {
                    --to_lose_;
                } else {
                    const char* answer = status ? "\x1b[0n" : "\x1b[?62;22c";
                    [[maybe_unused]] const ssize_t w = ::write(master, answer, std::strlen(answer));
                }
                answered += status ? 1 : 0;
            }
            parked_ = paused_.load();
            if (parked_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 5) <= 0 || (p.revents & POLLIN) == 0)
                continue;
            char buffer[65536];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            tail.append(buffer, static_cast<std::size_t>(n));
            std::size_t at = 0;
            for (;;) {
                const std::size_t status = tail.find("\x1b[5n", at), attributes = tail.find("\x1b[c", at);
                if (status == std::string::npos && attributes == std::string::npos)
                    break;
                const bool is_status = status < attributes;
                asked.push_back(is_status);
                if (is_status)
                    ++requests_;
                at = (is_status ? status : attributes) + (is_status ? 4 : 3);
            }
            tail.erase(0, std::max(at, tail.size() > 3 ? tail.size() - 3 : 0));
            std::lock_guard lock(mutex_);
            received_.append(buffer, static_cast<std::size_t>(n));
        }
    }

    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> parked_{false};
    std::atomic<bool> answering_{false};
    std::atomic<bool> holding_{false};
    std::atomic<int> released_{0};
    std::atomic<int> requests_{0};
    std::atomic<int> to_lose_{0};
    std::mutex mutex_;
    std::string received_;
};

}  // namespace vexl::testing
