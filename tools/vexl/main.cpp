// vexl: the companion tool of the vexlade player.

#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/linux/standard_descriptors.h"
#include "tools/vexl/command.h"
#include "vexl_version.h"

namespace {

using namespace vexl::tool;

void print_overview(std::FILE* out)
{
    std::fprintf(out,
                 "usage: vexl COMMAND [ARGS...]\n"
                 "       vexl COMMAND --help\n"
                 "       vexl --version\n\n"
                 "Tools for vexlade text-mode demos.\n\ncommands:\n");
    for (const VexlCommand* c = first_command(); c != nullptr; c = c->next)
        std::fprintf(out, "  %.*s\n", static_cast<int>(c->synopsis.size()), c->synopsis.data());
    std::fprintf(out,
                 "\nexit status: 0 success, 1 damaged or unreadable input (or output "
                 "not written), 2 bad usage\n");
}

}  // namespace

int main(int argc, char** argv)
{
    // Before any input or output is opened: with standard output closed,
    // an output file must not take its number and get the reports.
    vexl::platform::reserve_standard_descriptors();
    if (argc < 2) {
        print_overview(stderr);
        return exit_usage;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        print_overview(stdout);
        return finish_stdout(exit_ok);
    }
    if (name == "--version") {
        std::printf("vexl %.*s\n", static_cast<int>(vexl::project_version.size()), vexl::project_version.data());
        return exit_ok;
    }
    const VexlCommand* command = find_command(name);
    if (command == nullptr) {
        std::fprintf(stderr, "vexl: unknown command '%s'\n", argv[1]);
        print_overview(stderr);
        return exit_usage;
    }
    std::vector<std::string_view> args(argv + 2, argv + argc);
    for (std::string_view arg : args) {
        if (arg == "--")
            break;  // what follows are names, however they look
        if (arg == "--help" || arg == "-h") {
            std::printf("usage: vexl %.*s\n\n%.*s\n", static_cast<int>(command->synopsis.size()),
                        command->synopsis.data(), static_cast<int>(command->help.size()),
                        command->help.data());
            return finish_stdout(exit_ok);
        }
    }
    return finish_stdout(command->main(args));
}
