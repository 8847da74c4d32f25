#pragma once
// Reading a PNG back as 8-bit RGB, for the render tests.

#include <png.h>

#include <filesystem>

#include "tools/vexl/frame_picture.h"

namespace vexl::testing {

// The picture in `path`; width 0 when it cannot be read.
inline tool::RgbPicture read_png(const std::filesystem::path& path)
{
    tool::RgbPicture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0)
        return picture;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) == 0) {
        picture.rgb.clear();
        return picture;
    }
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    return picture;
}

}  // namespace vexl::testing
