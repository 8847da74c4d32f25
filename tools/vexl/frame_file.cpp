#include "tools/vexl/frame_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

namespace vexl::tool {

bool read_whole_file(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                     std::string& problem)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        problem = "is a directory";
        return false;
    }
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        problem = std::strerror(errno);
        return false;
    }
    bytes.clear();
    std::uint8_t chunk[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) != 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const bool failed = std::ferror(in) != 0;
    const int error = errno;
    std::fclose(in);
    if (failed)
        problem = std::strerror(error);
    return !failed;
}

bool is_same_file(const std::filesystem::path& input, const std::filesystem::path& output)
{
    std::error_code ec;
    return std::filesystem::equivalent(input, output, ec) && !ec;
}

ImageStream::ImageStream(const std::filesystem::path& path, std::vector<std::uint8_t>& image)
{
    if (image.size() > std::numeric_limits<std::uint32_t>::max())
        return;
    stream_ = pack_open(path.c_str(), "r");
    if (stream_ == nullptr)
        return;
    FileImage.data = image.data();
    FileImage.size = static_cast<std::uint32_t>(image.size());
    FileImage.read_pos = 1;  // the stream read the level byte itself
}

ImageStream::~ImageStream()
{
    if (stream_ != nullptr) {
        pack_release(stream_);
        std::free(stream_);
    }
    FileImage = {};
}

}  // namespace vexl::tool
