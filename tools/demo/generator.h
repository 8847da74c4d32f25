#pragma once
// Turns the timeline into frames. Frames can be asked for in any order, but
// sequential requests are the fast path: a scene's effect runs forward one
// frame per call, and a request that goes backwards restarts the scene and
// replays it up to the frame asked for, so every frame depends only on its
// index, never on what was asked before.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "tools/demo/canvas.h"
#include "tools/demo/music.h"
#include "tools/demo/timeline.h"

namespace vexl::demo {

class DemoGenerator {
public:
    explicit DemoGenerator(const MusicMap& music = default_music());

    int frame_count() const { return music_.frame_count(); }
    const std::vector<Scene>& scenes() const { return scenes_; }
    const MusicMap& music() const { return music_; }
    // Index of the scene that owns `frame`.
    int scene_at(int frame) const;

    // Draws frame `frame` (0 <= frame < frame_count()).
    void render(int frame, Canvas& out);

private:
    struct LiveScene {
        int scene = -1;
        EffectPtr effect;
        int next_local = 0;
        Canvas canvas;
    };
    const Canvas& scene_frame(int scene, int frame, int keep);

    const MusicMap& music_;
    std::vector<Scene> scenes_;
    std::array<LiveScene, 2> live_;
};

// Receives the frames' bytes in order; false stops generation.
using FrameSink = std::function<bool(std::span<const std::uint8_t>)>;

// Generates every frame of the demo in order into `sink`. False when the
// sink gave up.
bool generate_demo(const FrameSink& sink, const MusicMap& music = default_music());

}  // namespace vexl::demo
