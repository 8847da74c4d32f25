#pragma once
// Picks the terminal's answers out of its input: status reports
// (CSI 0 n, answering CSI 5 n), device attributes (CSI ? ... c, answering
// CSI c, which pacing uses to tell a lost status report from a late one)
// and the cell size in pixels (CSI 6 ; H ; W t, answering CSI 16 t). Everything else is a typed key and is dropped. A
// sequence split between two reads is joined.

#include <cstdint>
#include <string>
#include <string_view>

namespace vexl::term {

class TerminalReplies {
public:
    struct Found {
        int status_reports = 0;
        // Device attributes came, after this many of the status reports.
        bool attributes_answered = false;
        int reports_before_attributes = 0;
        int cell_width = 0;  // pixels; 0: no cell size came
        int cell_height = 0;
    };

    Found feed(std::string_view input)
    {
        Found found;
        for (const char c : input) {
            switch (state_) {
            case State::ground:
                if (c == '\x1b')
                    state_ = State::escape;
                break;
            case State::escape:
                state_ = c == '[' ? State::csi : c == '\x1b' ? State::escape : State::ground;
                params_.clear();
                break;
            case State::csi:
                if (c >= 0x40 && c <= 0x7E) {
                    finish(c, found);
                    state_ = State::ground;
                } else if (c == '\x1b' || params_.size() >= 32) {
                    state_ = c == '\x1b' ? State::escape : State::ground;
                } else {
                    params_.push_back(c);
                }
                break;
            }
        }
        return found;
    }

private:
    void finish(char final, Found& found) const
    {
        // "3" reports a fault, but it answers all the same.
        if (final == 'n' && (params_ == "0" || params_ == "3")) {
            ++found.status_reports;
            return;
        }
        if (final == 'c' && params_.rfind('?', 0) == 0) {
            if (!found.attributes_answered)
                found.reports_before_attributes = found.status_reports;
            found.attributes_answered = true;
            return;
        }
        if (final != 't' || params_.rfind("6;", 0) != 0)
            return;
        int numbers[2] = {0, 0};
        int at = 0;
        for (const char c : std::string_view(params_).substr(2)) {
            if (c == ';' && at == 0) {
                at = 1;
            } else if (c >= '0' && c <= '9' && numbers[at] < 100000) {
                numbers[at] = numbers[at] * 10 + (c - '0');
            } else {
                return;
            }
        }
        if (at == 1 && numbers[0] > 0 && numbers[1] > 0) {
            found.cell_height = numbers[0];
            found.cell_width = numbers[1];
        }
    }

    enum class State : std::uint8_t { ground, escape, csi } state_ = State::ground;
    std::string params_;
};

}  // namespace vexl::term
