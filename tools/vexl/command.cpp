#include "tools/vexl/command.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace vexl::tool {
namespace {
const VexlCommand* command_list = nullptr;
int stdout_error = 0;  // the first failure to write standard output
}

VexlCommand::VexlCommand(std::string_view name_, std::string_view synopsis_,
                         std::string_view help_, CommandMain main_)
    : name(name_), synopsis(synopsis_), help(help_), main(main_)
{
    // Keep the list sorted by name so `vexl --help` is stable whatever the
    // order of static initialisation.
    const VexlCommand** link = &command_list;
    while (*link != nullptr && (*link)->name < name)
        link = &(*link)->next;
    next = *link;
    *link = this;
}

const VexlCommand* first_command() { return command_list; }

const VexlCommand* find_command(std::string_view name)
{
    for (const VexlCommand* c = command_list; c != nullptr; c = c->next)
        if (c->name == name)
            return c;
    return nullptr;
}

int fail(int code, std::string_view command, std::string_view file, std::string_view problem)
{
    if (file.empty())
        std::fprintf(stderr, "vexl %.*s: %.*s\n", static_cast<int>(command.size()), command.data(),
                     static_cast<int>(problem.size()), problem.data());
    else
        std::fprintf(stderr, "vexl %.*s: %.*s: %.*s\n", static_cast<int>(command.size()),
                     command.data(), static_cast<int>(file.size()), file.data(),
                     static_cast<int>(problem.size()), problem.data());
    return code;
}

int usage_error(const VexlCommand& command, std::string_view problem)
{
    fail(exit_usage, command.name, "", problem);
    std::fprintf(stderr, "usage: vexl %.*s\n", static_cast<int>(command.synopsis.size()),
                 command.synopsis.data());
    return exit_usage;
}

bool parse_int(std::string_view text, long long min, long long max, long long& out)
{
    std::string ignored;
    return parse_number(text, min, max, out, ignored);
}

bool parse_number(std::string_view text, long long min, long long max, long long& out, std::string& problem)
{
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    const bool digits = !text.empty() && ptr == end && (ec == std::errc() || ec == std::errc::result_out_of_range);
    if (!digits) {
        problem = "'" + std::string(text) + "' is not a whole number";
        return false;
    }
    if (ec == std::errc::result_out_of_range || value > max) {
        problem = std::string(text) + " is too large (at most " + std::to_string(max) + ")";
        return false;
    }
    if (value < min) {
        problem = std::string(text) + " is too small (at least " + std::to_string(min) + ")";
        return false;
    }
    out = value;
    return true;
}

std::string parse_args(std::span<const std::string_view> args, std::span<const OptionSpec> options,
                       ParsedArgs& out)
{
    out = {};
    bool options_end = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (options_end || arg.size() < 2 || arg[0] != '-') {
            out.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_end = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        const OptionSpec* known = nullptr;
        for (const OptionSpec& option : options)
            if (option.name == name && arg.starts_with("--"))
                known = &option;
        if (known == nullptr)
            return "unknown option '" + std::string(name) + "'";
        std::string_view value;
        if (!known->takes_value && equals != std::string_view::npos)
            return std::string(name) + " takes no value";
        if (known->takes_value) {
            if (equals != std::string_view::npos)
                value = arg.substr(equals + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                return std::string(name) + " needs a value";
        }
        out.options.push_back({known->name, value});
    }
    return {};
}

bool flush_stdout()
{
    if (std::fflush(stdout) != 0 && stdout_error == 0)
        stdout_error = errno;
    return std::ferror(stdout) == 0;
}

int finish_stdout(int code)
{
    if (flush_stdout())
        return code;
    // Without an error number the stream failed while the command wrote.
    const char* why = stdout_error != 0 ? std::strerror(stdout_error) : "write error";
    std::fprintf(stderr, "vexl: standard output: %s\n", why);
    return code != exit_ok ? code : exit_bad_input;
}

}  // namespace vexl::tool
