#include "tools/vexl/output_file.h"

#include <cerrno>
#include <cstring>

namespace vexl::tool {

OutputFile::OutputFile(std::filesystem::path target) : target_(std::move(target))
{
    std::string problem;
    if (!file_.open(target_.string(), problem))
        error_ = problem;
    else
        reopen_path_ = file_.reopen_path();
}

OutputFile::~OutputFile()
{
    if (stream_ != nullptr)
        std::fclose(stream_);
}

std::string OutputFile::problem_with(const std::filesystem::path& target)
{
    return platform::output_problem(target.string());
}

bool OutputFile::fail(const std::string& problem)
{
    if (error_.empty())
        error_ = problem;
    return false;
}

bool OutputFile::close_stream()
{
    if (stream_ == nullptr)
        return true;
    const bool flushed = std::fflush(stream_) == 0;
    const int saved = errno;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!flushed || !closed)
        return fail(std::strerror(flushed ? errno : saved));
    return true;
}

const std::filesystem::path& OutputFile::temp_path()
{
    // The writer opens the file by name; our own stream would only linger.
    close_stream();
    return reopen_path_;
}

int OutputFile::descriptor()
{
    close_stream();
    return file_.descriptor();
}

std::FILE* OutputFile::stream()
{
    if (stream_ == nullptr && ok()) {
        // A stream of its own over a duplicate: closing it must not close
        // the descriptor that keeps an unnamed temporary alive.
        stream_ = platform::open_stream(file_.descriptor());
        if (stream_ == nullptr)
            fail(std::strerror(errno));
    }
    return stream_;
}

bool OutputFile::write(std::span<const std::uint8_t> bytes)
{
    std::FILE* out = stream();
    if (out == nullptr)
        return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
        return fail(std::strerror(errno));
    return true;
}

bool OutputFile::stage()
{
    if (!ok() || !close_stream())
        return false;
    std::string problem;
    return file_.stage(problem) || fail(problem);
}

bool OutputFile::commit()
{
    OutputFile* self = this;
    return commit_all({&self, 1}) == nullptr;
}

OutputFile* OutputFile::commit_all(std::span<OutputFile* const> outputs)
{
    for (OutputFile* out : outputs)
        if (!out->stage())
            return out;
    // Held together, so that a signal can't stop the run between two renames.
    platform::HeldTerminationSignals held;
    for (OutputFile* out : outputs) {
        std::string problem;
        if (!out->file_.place(problem)) {
            out->fail(problem);
            return out;
        }
    }
    return nullptr;
}

}  // namespace vexl::tool
