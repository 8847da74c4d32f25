#pragma once
// Subcommands of the `vexl` tool. Each lives in its own file and registers
// itself with a static VexlCommand object.

#include <span>
#include <string>
#include <string_view>
#include <vector>

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
// The same, saying what is wrong in `problem`: "'x' is not a whole number",
// "4294967297 is too large (at most 2147483648)".
bool parse_number(std::string_view text, long long min, long long max, long long& out, std::string& problem);

// An option a command takes: "--level" with a value, "--aspect" without.
struct OptionSpec {
    std::string_view name;
    bool takes_value = false;
};

struct ParsedArgs {
    struct Option {
        std::string_view name;
        std::string_view value;
    };
    std::vector<Option> options;  // in the order given
    std::vector<std::string_view> operands;
};

// Splits a command's arguments into options and operands, in any order:
// "--name VALUE" or "--name=VALUE" for an option with a value, "--" ends
// the options, "-" alone is an operand. Returns an empty string, or the
// usage problem ("unknown option '--bogus'", "--level needs a value").
std::string parse_args(std::span<const std::string_view> args, std::span<const OptionSpec> options,
                       ParsedArgs& out);

// Flushes standard output, so that what follows on stderr comes after it;
// false when it could not be written (finish_stdout reports that).
bool flush_stdout();

// Flushes standard output. Output that could not be written (a full disk,
// a closed pipe) was lost, so the run fails: exit 1 with a message, unless
// `code` already says the run failed.
int finish_stdout(int code);

}  // namespace vexl::tool
