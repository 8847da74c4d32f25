#include "tools/record/record_format.h"

#include <algorithm>
#include <cctype>

#include "output/glyph_raster.h"

namespace vexl::record {
namespace {

bool same_letters(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

const RecordFormat* format_named(std::string_view name, bool lossless)
{
    for (const RecordFormat& format : record_formats)
        if (format.name == name && format.lossless == lossless)
            return &format;
    return nullptr;
}

const RecordFormat* format_for_file(std::string_view path, bool lossless)
{
    for (const RecordFormat& format : record_formats)
        if (format.lossless == lossless && path.size() > format.extension.size() &&
            same_letters(path.substr(path.size() - format.extension.size()), format.extension))
            return &format;
    return nullptr;
}

bool known_format_name(std::string_view name)
{
    return std::any_of(std::begin(record_formats), std::end(record_formats),
                       [name](const RecordFormat& format) { return format.name == name; });
}

std::string_view disagreeing_extension(std::string_view path, const RecordFormat& chosen)
{
    const RecordFormat* named = format_for_file(path, false);
    if (named == nullptr)
        named = format_for_file(path, true);
    return named != nullptr && named->name != chosen.name ? named->extension : std::string_view{};
}

PictureSize picture_size(int scale, bool aspect)
{
    const int height = picture_height * scale;
    if (!aspect)
        return {picture_width * scale, height};
    // 4:3 means a width of height * 4 / 3, to the nearest even number.
    const int half_width = (height * 2 + 1) / 3;
    return {2 * half_width, height};
}

}  // namespace vexl::record
