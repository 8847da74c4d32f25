#include "tools/vexl/frame_file.h"

#include <cstdlib>
#include <limits>

#include "platform/linux/tool_files.h"
#include "player/launcher.h"

namespace vexl::tool {

bool read_whole_file(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                     std::string& problem)
{
    return platform::read_regular_file(path.string(), largest_frame_file, bytes, problem);
}

bool is_same_file(const std::filesystem::path& input, const std::filesystem::path& output)
{
    return platform::same_file(input.string(), output.string());
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
    walk_.walk(image, true);
    frames_.emplace(stream_, walk_);
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
