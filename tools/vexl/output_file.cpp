#include "tools/vexl/output_file.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

namespace vexl::tool {

OutputFile::OutputFile(std::filesystem::path target) : target_(std::move(target))
{
    // Same directory as the target, so the final rename stays on one file
    // system and is atomic.
    std::random_device entropy;
    for (int attempt = 0; attempt < 16 && temp_.empty(); ++attempt) {
        std::filesystem::path candidate = target_;
        candidate += ".tmp-" + std::to_string(entropy() % 1000000000u);
        // "x": fail rather than reuse a file somebody else is writing.
        std::FILE* probe = std::fopen(candidate.c_str(), "wbx");
        if (probe != nullptr) {
            stream_ = probe;
            temp_ = candidate;
        } else if (errno != EEXIST) {
            error_ = std::strerror(errno);
            return;
        }
    }
    if (temp_.empty())
        error_ = "cannot create a temporary file";
}

OutputFile::~OutputFile()
{
    if (stream_ != nullptr)
        std::fclose(stream_);
    if (!committed_ && !temp_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temp_, ignored);
    }
}

const std::filesystem::path& OutputFile::temp_path()
{
    // The writer reopens the file by name; our own handle would only linger.
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    return temp_;
}

std::FILE* OutputFile::stream()
{
    if (stream_ == nullptr && ok()) {
        stream_ = std::fopen(temp_.c_str(), "wb");
        if (stream_ == nullptr)
            error_ = std::strerror(errno);
    }
    return stream_;
}

bool OutputFile::write(std::span<const std::uint8_t> bytes)
{
    std::FILE* out = stream();
    if (out == nullptr)
        return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
        error_ = std::strerror(errno);
        return false;
    }
    return true;
}

bool OutputFile::commit()
{
    if (!ok())
        return false;
    if (stream_ != nullptr) {
        const bool flushed = std::fflush(stream_) == 0;
        const int saved = errno;
        const bool closed = std::fclose(stream_) == 0;
        stream_ = nullptr;
        if (!flushed || !closed) {
            error_ = std::strerror(flushed ? errno : saved);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp_, target_, ec);
    if (ec) {
        error_ = ec.message();
        return false;
    }
    committed_ = true;
    return true;
}

}  // namespace vexl::tool
