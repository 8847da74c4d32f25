#include "tools/demo/palette.h"

namespace vexl::demo {

ShadeRamp::ShadeRamp(std::initializer_list<Colour> colours)
{
    const std::vector<Colour> list(colours);
    const std::uint8_t shades[] = {glyph::shade_light, glyph::shade_medium, glyph::shade_dark};
    for (std::size_t i = 0; i < list.size(); ++i) {
        cells_.push_back({glyph::space, attr(list[i], list[i])});
        if (i + 1 < list.size())
            for (std::uint8_t shade : shades)
                cells_.push_back({shade, attr(list[i + 1], list[i])});
    }
    const int last_cell = static_cast<int>(cells_.size()) - 1;
    const int last_colour = static_cast<int>(list.size()) - 1;
    for (int v = 0; v < 256; ++v) {
        lookup_[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>((v * last_cell + 127) / 255);
        solid_[static_cast<std::size_t>(v)] = list[static_cast<std::size_t>((v * last_colour + 127) / 255)];
    }
}

namespace ramps {

const ShadeRamp& fire()
{
    static const ShadeRamp ramp{black, red, light_red, yellow, white};
    return ramp;
}
const ShadeRamp& ice()
{
    static const ShadeRamp ramp{black, blue, light_blue, light_cyan, white};
    return ramp;
}
const ShadeRamp& toxic()
{
    static const ShadeRamp ramp{black, green, light_green, yellow, white};
    return ramp;
}
const ShadeRamp& violet()
{
    static const ShadeRamp ramp{black, blue, magenta, light_magenta, white};
    return ramp;
}
const ShadeRamp& steel()
{
    static const ShadeRamp ramp{black, dark_grey, light_grey, white};
    return ramp;
}
const ShadeRamp& sunset()
{
    static const ShadeRamp ramp{blue, magenta, red, light_red, yellow};
    return ramp;
}
const ShadeRamp& rainbow()
{
    static const ShadeRamp ramp{blue, light_blue, light_cyan, light_green, yellow, light_red,
                                light_magenta, magenta, blue};
    return ramp;
}
const ShadeRamp& ocean()
{
    static const ShadeRamp ramp{black, blue, cyan, light_cyan};
    return ramp;
}

}  // namespace ramps
}  // namespace vexl::demo
