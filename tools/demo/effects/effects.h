#pragma once
// Every effect of the demo, one file each. The timeline picks them and
// their variants.

#include <span>
#include <string_view>

#include "tools/demo/effect.h"
#include "tools/demo/palette.h"

namespace vexl::demo {

// A DOS machine boots, the demo is started from the prompt and loads.
EffectPtr make_boot();

// Stars rushing at the viewer; they stretch into streaks as `warp` grows
// over the scene. With a logo, the big "80x50" builds up from shades.
struct StarfieldStyle {
    int speed = 64;        // starting speed
    int speed_end = 64;    // speed at the scene's end
    bool title = false;    // show the title logo and credits line
    bool streaks = false;  // long warp streaks at high speed
    bool reveal = true;    // build the logo up from shades (else shown whole)
};
EffectPtr make_starfield(const StarfieldStyle& style);

// Sine plasma in shade characters, its colours cycling through a ramp.
struct PlasmaStyle {
    const ShadeRamp* ramp = nullptr;
    int speed = 3;
    bool half_blocks = false;  // 80 x 100 flat-colour pixels instead of shades
};
EffectPtr make_plasma(const PlasmaStyle& style);

// A textured tunnel flown through, the centre swaying.
struct TunnelStyle {
    const ShadeRamp* ramp = nullptr;
    int speed = 6;       // depth per frame at the start
    int speed_end = -1;  // at the end (-1: constant speed)
    int twist = 0;       // texture rotation per frame
    bool rings = false;  // rings instead of a checkerboard
};
EffectPtr make_tunnel(const TunnelStyle& style);

// A tiled picture rotated and zoomed in half-block pixels.
struct RotozoomStyle {
    int variant = 0;  // which tile and colours
};
EffectPtr make_rotozoom(const RotozoomStyle& style);

// Big letters scrolling along a sine over copper bars.
EffectPtr make_sine_scroller(std::string_view text);

// A voxel landscape at dusk, flown over slowly, with captions.
EffectPtr make_landscape();

// Glowing blobs that meet and merge; more of them as the music climbs.
struct MetaballStyle {
    const ShadeRamp* ramp = nullptr;
    int balls_start = 3;
    int balls_end = 6;
};
EffectPtr make_metaballs(const MetaballStyle& style);

// Classic fire in 80 x 100 heat cells, with letters burning in it.
struct FireStyle {
    const ShadeRamp* ramp = nullptr;
    std::string_view words;  // '|' separates words shown one per bar
};
EffectPtr make_fire(const FireStyle& style);

// A square bar twisting around its axis.
EffectPtr make_twister();

// Greetings to other groups, one per bar, in a corridor of boxes.
EffectPtr make_greetings(std::span<const std::string_view> names);

// Interference rings of two moving centres.
struct RingsStyle {
    const ShadeRamp* ramp = nullptr;
};
EffectPtr make_rings(const RingsStyle& style);

// Falling columns of glyphs; credits typed into boxes over them.
EffectPtr make_code_rain(std::span<const std::string_view> credits);

// The end: text rolling up the screen over stars.
EffectPtr make_end_scroller(std::span<const std::string_view> lines);

// Back to the DOS prompt, with the last words.
EffectPtr make_shutdown();

}  // namespace vexl::demo
