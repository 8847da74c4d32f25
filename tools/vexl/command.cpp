#include "tools/vexl/command.h"

#include <charconv>
#include <cstdio>

namespace vexl::tool {
namespace {
const VexlCommand* command_list = nullptr;
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
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max)
        return false;
    out = value;
    return true;
}

}  // namespace vexl::tool
