#pragma once
// The demo's script: which effect runs when, how scenes hand over, and
// where the screen flashes. Scenes start and end on bar lines of the
// soundtrack's sections, so cuts land on the music.

#include <functional>
#include <string_view>
#include <vector>

#include "tools/demo/effect.h"
#include "tools/demo/music.h"
#include "tools/demo/transition.h"

namespace vexl::demo {

struct Scene {
    std::string_view name;
    int start = 0;  // first frame
    int end = 0;    // first frame after the scene
    std::function<EffectPtr()> make;
    Transition in = Transition::cut;  // how this scene takes over from the previous one
    int in_frames = 0;                // the previous scene keeps running this long
    int flash = 0;                    // brightness steps of a flash at the start, fading over a beat
};

// Scenes in order, gapless, covering every frame of the music.
std::vector<Scene> build_timeline(const MusicMap& music);

}  // namespace vexl::demo
