#include "tools/demo/generator.h"

#include <algorithm>
#include <stdexcept>

#include "tools/demo/transition.h"

namespace vexl::demo {

DemoGenerator::DemoGenerator(const MusicMap& music) : music_(music), scenes_(build_timeline(music))
{
    if (scenes_.empty() || scenes_.front().start != 0 || scenes_.back().end != music.frame_count())
        throw std::logic_error("the timeline must cover the whole demo");
}

int DemoGenerator::scene_at(int frame) const
{
    const auto it = std::upper_bound(scenes_.begin(), scenes_.end(), frame,
                                     [](int f, const Scene& s) { return f < s.start; });
    return static_cast<int>(it - scenes_.begin()) - 1;
}

const Canvas& DemoGenerator::scene_frame(int scene, int frame, int keep)
{
    const Scene& s = scenes_[static_cast<std::size_t>(scene)];
    const int local = frame - s.start;
    auto slot = std::find_if(live_.begin(), live_.end(), [&](const LiveScene& l) { return l.scene == scene; });
    if (slot == live_.end())
        slot = std::find_if(live_.begin(), live_.end(), [&](const LiveScene& l) { return l.scene != keep || keep < 0; });
    if (slot->scene != scene || slot->next_local > local) {
        slot->scene = scene;
        slot->effect = s.make();
        slot->next_local = 0;
    }
    for (; slot->next_local <= local; ++slot->next_local) {
        const int f = s.start + slot->next_local;
        const FrameTime t{f, slot->next_local, s.end - s.start, music_.at(f)};
        slot->effect->render(t, slot->canvas);
    }
    return slot->canvas;
}

void DemoGenerator::render(int frame, Canvas& out)
{
    if (frame < 0 || frame >= frame_count())
        throw std::out_of_range("frame outside the demo");
    const int index = scene_at(frame);
    const Scene& s = scenes_[static_cast<std::size_t>(index)];
    const int into = frame - s.start;
    const Canvas& current = scene_frame(index, frame, index - 1);
    if (index > 0 && into < s.in_frames && s.in != Transition::cut) {
        const Canvas& previous = scene_frame(index - 1, frame, index);
        blend(s.in, previous, current, (into + 1) * 256 / (s.in_frames + 1), out);
    } else {
        out = current;
    }
    const int beat = music_.frames_per_beat();
    if (s.flash > 0 && into < beat)
        shift_brightness(out, (s.flash * (beat - into) + beat - 1) / beat);
}

bool generate_demo(const FrameSink& sink, const MusicMap& music)
{
    DemoGenerator generator(music);
    Canvas canvas;
    for (int f = 0; f < generator.frame_count(); ++f) {
        generator.render(f, canvas);
        if (!sink(canvas.bytes()))
            return false;
    }
    return true;
}

}  // namespace vexl::demo
