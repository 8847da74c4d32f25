#pragma once
// Answers to the yes/no questions given before they are asked, in the
// environment variable VEXLADE_ANSWERS: Yes or No in the order the
// questions come, separated by commas. A player that had no terminal hands
// its answers to the run it starts in a terminal window this way, and the
// desktop entry's action "Play in a terminal" answers No to full screen.

#include <deque>
#include <span>
#include <string>
#include <string_view>

namespace vexl::platform {

inline constexpr const char* given_answers_variable = "VEXLADE_ANSWERS";

// IDYES for "y" or "yes", IDNO for "n" or "no" (any case, blanks around
// ignored), 0 for anything else: a typed answer or a given one.
int read_yes_no(std::string_view text);

// "No,Yes" for {IDNO, IDYES}.
std::string given_answers_text(std::span<const int> answers);

// The answers in `text`, in order. None, with the reason in `problem`, when
// one of them is neither yes nor no.
std::deque<int> parse_given_answers(std::string_view text, std::string& problem);

}  // namespace vexl::platform
