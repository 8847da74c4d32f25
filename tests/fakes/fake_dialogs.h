#pragma once
// Message boxes answered from a list the test sets; every box is recorded.

#include <deque>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "tests/fakes/call_journal.h"

namespace vexl::fakes {

class FakeDialogs : public platform::Dialogs {
public:
    struct Shown {
        platform::WindowHandle owner;
        std::string text;
        std::string caption;
        std::uint32_t type;
    };

    explicit FakeDialogs(CallJournal* journal = nullptr) : journal_(journal) {}

    int message_box(platform::WindowHandle owner, const char* text, const char* caption,
                    std::uint32_t type) override
    {
        shown.push_back({owner, text, caption, type});
        if (journal_ != nullptr)
            journal_->add(std::string("MessageBox ") + text);
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return type == platform::MB_YESNO ? platform::IDYES : platform::IDOK;
    }

    std::deque<int> answers;  // taken in order; the default button when empty
    std::vector<Shown> shown;

private:
    CallJournal* journal_;
};

}  // namespace vexl::fakes
