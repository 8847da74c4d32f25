#pragma once
// The interface of one visual effect. The generator creates an effect when
// its scene starts and then asks for its frames strictly in order, one call
// per frame, so effects may keep state between frames (a fire's heat, a
// particle's position). The same calls in the same order must give the
// same frames on every machine.

#include <memory>

#include "tools/demo/canvas.h"
#include "tools/demo/music.h"

namespace vexl::demo {

struct FrameTime {
    int frame;   // index in the whole demo
    int local;   // frames since the scene started: 0, 1, 2, ...
    int length;  // frames the scene lasts (it may be asked for a few more while
                 // the next scene takes over)
    Beat beat;   // the music at this frame

    // Progress through the scene, 0..256 (clamped).
    int progress() const { return length > 0 ? (local >= length ? 256 : local * 256 / length) : 256; }
};

class Effect {
public:
    virtual ~Effect() = default;
    // Draws the whole frame; every cell of `out` must be written.
    virtual void render(const FrameTime& t, Canvas& out) = 0;
};

using EffectPtr = std::unique_ptr<Effect>;

}  // namespace vexl::demo
