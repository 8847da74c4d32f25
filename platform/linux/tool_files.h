#pragma once
// Files as the vexl tool reads and writes them.
//
// Inputs are regular files of a bounded size, examined before anything is
// read: a device or a FIFO would never end, or block before the first byte.
//
// An output replaces its target only once it is complete, and a run that
// dies on the way leaves no name behind. The data goes to an unnamed file
// in the target's folder (O_TMPFILE), which the kernel drops with the
// process; it gets a name only at the end, while the termination signals
// are held, and that name is at once renamed over the target. File systems
// without unnamed files get a named temporary instead, which a handler of
// the terminating signals removes. Symbolic links are followed, so the file
// they lead to is replaced and the links stay. A device or a FIFO is written
// in place (it can't be replaced, and replacing it would be wrong); a folder
// or a socket is refused.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vexl::platform {

// Reads all of the regular file `path` when it holds at most `limit`
// bytes; otherwise says why not in `problem` (without reading a byte of a
// device or a FIFO, and without blocking on one).
bool read_regular_file(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes,
                       std::string& problem);

// Empty when `path` is a regular file, else why it can't be read as one
// ("is a FIFO, not a regular file"); for inputs a library opens by name.
std::string input_problem(const std::string& path);

// Opens the regular file `path` for reading as a stdio stream; null, with
// the reason in `problem`, for anything else.
std::FILE* open_regular_file(const std::string& path, std::string& problem);

// A stdio stream that writes to `fd` through a duplicate of it, so that
// closing the stream leaves `fd` open; null on failure (errno says why).
std::FILE* open_stream(int fd);

// Whether `fd` can be written out of order (a file, not a pipe or a FIFO).
bool seekable(int fd);

// True when both names lead to the same file (device and inode).
bool same_file(const std::string& a, const std::string& b);

// Empty when `target` can be written as an output, else why not ("is a
// folder", "is read-only ...", a missing folder on the way).
std::string output_problem(const std::string& target);

// Empty when names can be made and removed in the folder `folder`, else
// why not ("cannot write in FOLDER: Permission denied").
std::string folder_problem(const std::string& folder);

// The name that the chain of symbolic links from `path` ends in (`path`
// itself when it is no link); it need not exist. False with the reason.
bool resolve_links(const std::string& path, std::string& resolved, std::string& error);

struct TemporaryName;  // a name the signal handler removes

// One output on its way to its target.
class PendingFile {
public:
    PendingFile() = default;
    ~PendingFile();  // discards the output unless it was placed
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Opens the output of `target`; false with the reason in `error`.
    bool open(const std::string& target, std::string& error);

    // The descriptor to write to, -1 once staged or before open.
    int descriptor() const { return fd_; }
    // A name under which the data can be opened again (by a library that
    // writes by name, or reads back what it wrote): /proc/self/fd/N for an
    // unnamed file, else the temporary's or the device's own name.
    const std::string& reopen_path() const { return reopen_path_; }
    // A device or a FIFO, written in place rather than replaced.
    bool in_place() const { return in_place_; }
    // The target is an existing regular file that placing replaces.
    bool replaces_file() const { return replaces_; }

    // Closes the descriptor and gives the data a name beside the target,
    // with the mode (and owner, where allowed) of the file it replaces.
    // Many staged outputs can wait for place() without a descriptor each.
    bool stage(std::string& error);
    // Renames the staged file over the target.
    bool place(std::string& error);
    // Drops the output: closes it and removes any name it was given.
    void discard();

private:
    int fd_ = -1;
    bool in_place_ = false;
    bool replaces_ = false;
    bool staged_ = false;
    bool placed_ = false;
    std::string target_;       // symbolic links followed
    std::string reopen_path_;
    TemporaryName* temporary_ = nullptr;
};

// A folder made for a run's outputs. A run that fails, or is ended by a
// signal, leaves no folder it made (while it is empty).
class NewFolder {
public:
    NewFolder() = default;
    ~NewFolder();  // removes the folder it made unless kept
    NewFolder(const NewFolder&) = delete;
    NewFolder& operator=(const NewFolder&) = delete;

    // Makes `path` when it is missing, as mkdir does (its parent must
    // exist); true too when it is a folder already. False with the reason.
    bool make(const std::string& path, std::string& error);
    // Makes a new folder beside `target` under a name of its own
    // (TARGET.tmp-PID-N, PID this process's), to be filled and then put in
    // the place of `target` (exchange_names).
    bool make_beside(const std::string& target, std::string& error);
    // The folder made, or empty.
    std::string path() const;
    // The run succeeded: the folder stays.
    void keep();

private:
    TemporaryName* made_ = nullptr;
};

// Puts the two existing names `a` and `b` each in the other's place in one
// step (renameat2 with RENAME_EXCHANGE), so that both names stand at every
// moment. False with the reason in `error`; `unsupported` is then set when
// it is the file system that can't, and two renames are the way left.
bool exchange_names(const std::string& a, const std::string& b, bool& unsupported, std::string& error);

// The folders NewFolder::make_beside made beside `target` in runs that
// are gone without cleaning up (SIGKILL, a machine that went down): their
// process no longer exists. Full names.
std::vector<std::string> stale_folders_beside(const std::string& target);

// Holds SIGINT, SIGTERM, SIGHUP and the other signals that end a process
// by default for this thread while it exists; one that comes meanwhile
// takes effect at the end. Threads started meanwhile keep them held for
// their whole life, so these signals only ever reach the starting thread.
class HeldTerminationSignals {
public:
    HeldTerminationSignals();
    ~HeldTerminationSignals();
    HeldTerminationSignals(const HeldTerminationSignals&) = delete;
    HeldTerminationSignals& operator=(const HeldTerminationSignals&) = delete;

private:
    alignas(8) unsigned char saved_[128];  // the caller's signal mask (a sigset_t)
};

// For tests: named temporaries even where unnamed files work.
void use_named_temporaries(bool named);

}  // namespace vexl::platform
