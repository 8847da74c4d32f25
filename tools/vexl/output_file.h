#pragma once
// An output file that is written whole or not at all: everything goes to a
// temporary file beside the target, which replaces the target only on
// commit(). Dropping the object without committing removes the temporary,
// so a failed or interrupted command never leaves a partial file behind and
// never clobbers an existing one.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>

namespace vexl::tool {

class OutputFile {
public:
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False when the temporary could not be created or a write failed;
    // error() then says why.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // For libraries that want to write by name (libsndfile, libpng): the
    // temporary's path. Close whatever wrote it before commit(); do not
    // mix with stream().
    const std::filesystem::path& temp_path();

    // A stdio stream on the temporary, opened on first use.
    std::FILE* stream();
    bool write(std::span<const std::uint8_t> bytes);

    // Flushes, closes and renames the temporary over the target.
    bool commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    std::FILE* stream_ = nullptr;
    bool committed_ = false;
    std::string error_;
};

}  // namespace vexl::tool
