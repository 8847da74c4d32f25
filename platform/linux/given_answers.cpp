#include "platform/linux/given_answers.h"

#include <cctype>

#include "platform/dialogs.h"

namespace vexl::platform {

int read_yes_no(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0)
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0)
        text.remove_suffix(1);
    std::string word;
    for (char c : text)
        word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (word == "y" || word == "yes")
        return IDYES;
    if (word == "n" || word == "no")
        return IDNO;
    return 0;
}

std::string given_answers_text(std::span<const int> answers)
{
    std::string text;
    for (int answer : answers)
        text += std::string(text.empty() ? "" : ",") + button_name(answer);
    return text;
}

std::deque<int> parse_given_answers(std::string_view text, std::string& problem)
{
    std::deque<int> answers;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const int answer = read_yes_no(item);
        if (answer == 0) {
            problem = "'" + std::string(item) + "' is neither Yes nor No";
            return {};
        }
        answers.push_back(answer);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return answers;
}

}  // namespace vexl::platform
