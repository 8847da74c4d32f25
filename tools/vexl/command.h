#pragma once
// Subcommands of the `vexl` tool. Each lives in its own file and registers
// itself with a static VexlCommand object.

#include <span>
#include <string>
#include <string_view>

namespace vexl::tool {

// Exit codes shared by every subcommand.
inline constexpr int exit_ok = 0;
inline constexpr int exit_bad_input = 1;  // damaged or unreadable input, failed output
inline constexpr int exit_usage = 2;      // bad command line

using CommandMain = int (*)(std::span<const std::string_view> args);

struct VexlCommand {
    // Registers the command; objects must have static storage duration.
    VexlCommand(std::string_view name, std::string_view synopsis, std::string_view help,
                CommandMain main);

    std::string_view name;
    std::string_view synopsis;  // one line: "pack [--level 1-9] FRAMES OUT.d1"
    std::string_view help;      // what `vexl NAME --help` prints under the synopsis
    CommandMain main;
    mutable const VexlCommand* next = nullptr;  // registry link, set at registration
};

const VexlCommand* first_command();
const VexlCommand* find_command(std::string_view name);

// Error reporting in one format: "vexl NAME: FILE: PROBLEM" on stderr.
// Returns `code` so commands can write `return fail(...)`.
int fail(int code, std::string_view command, std::string_view file, std::string_view problem);
int usage_error(const VexlCommand& command, std::string_view problem);

// Parses a whole decimal number within [min, max]; false on anything else.
bool parse_int(std::string_view text, long long min, long long max, long long& out);

}  // namespace vexl::tool
