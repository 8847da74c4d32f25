#pragma once
// An output file that is written whole or not at all: everything goes to a
// temporary file beside the target, which replaces the target only on
// commit(). Dropping the object without committing drops the temporary, so
// a failed or interrupted command never leaves a partial file behind and
// never clobbers an existing one; an interrupted one leaves no temporary
// name either (platform/linux/tool_files.h says how).
//
// The target is the file its symbolic links lead to; the replaced file
// keeps its mode, and a read-only one is refused. A device or a FIFO named
// as target is written in place; a folder or a socket is refused.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>

#include "platform/linux/tool_files.h"

namespace vexl::tool {

class OutputFile {
public:
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Empty when `target` could be written, else why not; for commands
    // that check all their targets before any work.
    static std::string problem_with(const std::filesystem::path& target);

    // False when the output could not be opened or a write failed;
    // error() then says why.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // For libraries that open their output by name (libsndfile, libpng,
    // libavformat, which may also reopen it to read back what it wrote): a
    // name that leads to the temporary, such as /proc/self/fd/N. Close
    // whatever wrote through it before commit(); do not mix with stream().
    const std::filesystem::path& temp_path();

    // The open descriptor of the temporary (or of the device written in
    // place), for libraries that write to a descriptor; -1 once staged.
    // It stays owned by this object.
    int descriptor();

    // A stdio stream on the temporary, opened on first use.
    std::FILE* stream();
    bool write(std::span<const std::uint8_t> bytes);

    // A device or a FIFO, written as the data comes; commit() replaces
    // nothing then.
    bool writes_in_place() const { return file_.in_place(); }
    // An existing regular file that commit() would replace.
    bool replaces_a_file() const { return file_.replaces_file(); }

    // Flushes and closes the output and gives it a name beside its target,
    // so that many outputs can wait for their commit without holding a
    // descriptor each.
    bool stage();

    // Flushes, closes and puts the temporary in place of the target.
    bool commit();

    // Commits several outputs as one: every output is staged before any
    // replaces its target, so a failure on the way replaces none of them.
    // Returns null, or the output that failed (its error() says why).
    static OutputFile* commit_all(std::span<OutputFile* const> outputs);

private:
    bool close_stream();
    bool fail(const std::string& problem);

    std::filesystem::path target_;
    std::filesystem::path reopen_path_;
    platform::PendingFile file_;
    std::FILE* stream_ = nullptr;
    std::string error_;
};

}  // namespace vexl::tool
