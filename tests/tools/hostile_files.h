#pragma once
// The vexl tool run as the built executable against awkward files: devices,
// FIFOs, sockets, symbolic links, folders, read-only files, a full disk, an
// input named again as output, and signals in the middle of a run. Each
// subcommand family's end-to-end test runs these tables over its commands.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace vexl::testing {

struct ToolRun {
    int status = -1;  // exit status, or -1 when a signal ended the run
    std::string out;
    std::string err;
};

bool running_as_root();

class HostileFiles {
public:
    // `tool` is the vexl executable; every run happens in a fresh folder.
    explicit HostileFiles(std::string tool);
    ~HostileFiles();
    HostileFiles(const HostileFiles&) = delete;
    HostileFiles& operator=(const HostileFiles&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path path(const std::string& name) const { return dir_ / name; }
    std::string read(const std::string& name) const;
    void put(const std::string& name, const std::string& content) const;
    // The names in the folder, sorted.
    std::vector<std::string> names() const;

    // `vexl ARGS` in the folder (ARGS quoted as needed), with a time limit
    // so a run that blocks fails instead of hanging the suite.
    ToolRun run(const std::string& args, const std::string& stdout_to = "") const;

    // Runs ARGS with {OUT} replaced by each kind of target and checks what
    // becomes of it: a device or FIFO written in place, links followed, the
    // mode kept, folders and sockets refused, a full disk (as root) leaving
    // the old file, and never a temporary left over. `fifo_works`: whether
    // the output can be streamed (a WAV file can't).
    void expect_output_targets_handled(const std::string& args, bool fifo_works = true);

    // Runs ARGS with {OUT} naming the input file `input` again, as ./INPUT and
    // through a symbolic link: refused with exit 2, the input unchanged.
    void expect_input_kept_from_output(const std::string& args, const std::string& input);

    // Runs ARGS with {IN} as /dev/zero, a FIFO nobody writes and a folder:
    // each refused at once with exit 1 and no output. With `placed_at`, for
    // a command that finds its input by name in a folder, each is put there
    // instead (/dev/zero through a link) and named so in the message.
    void expect_inputs_refused(const std::string& args, const std::string& placed_at = "");

    // Starts ARGS, sends `signal` once an output is being written (or,
    // with `wait_for_name`, once a temporary name shows in the folder) and
    // returns the wait status. The run must not have ended before.
    int interrupt(const std::vector<std::string>& args, int signal, bool wait_for_name = false) const;

    // Starts ARGS and sends `signal` after `delay`, whether the run has
    // ended by then or not; returns the wait status.
    int signal_after(const std::vector<std::string>& args, int signal, std::chrono::microseconds delay) const;

private:
    pid_t start(const std::vector<std::string>& args, int signal) const;

    std::string tool_;
    std::filesystem::path dir_;
};

// A tmpfs of `kib` KiB mounted for the object's life (root only).
class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& where, int kib);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::filesystem::path where_;
    bool mounted_ = false;
};

}  // namespace vexl::testing
