#include "tools/demo/timeline.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "tools/demo/effects/effects.h"

namespace vexl::demo {
namespace {

// ---------------------------------------------------------------- texts

constexpr std::string_view scroller_text =
    "HELLO TEXT-MODE LOVERS!   EIGHTY BY FIFTY IS FOUR THOUSAND CELLS, SIXTEEN COLOURS AND ONE "
    "8x8 FONT...   NO PIXELS WERE HARMED, EVERY DOT YOU SEE IS A CHARACTER.   @ THE VEXLADE TEAM @";

constexpr std::string_view fire_words =
    "EIGHTY|BY|FIFTY|TEXT|MODE|IS|NOT|DEAD|80x50|SIXTEEN|COLOURS|ONE|FONT|NO|PIXELS|!";
constexpr std::string_view finale_words = "FASTER|HOTTER|LOUDER|80x50";

constexpr std::array<std::string_view, 16> greetings{
    "GLYPH FOUNDRY",     "NIBBLE SYNDICATE", "CATHODE KIDS",      "RASTER MONKS",
    "BLINKLESS",         "TEAM UNDERSCORE",  "THE PALETTE THIEVES", "DITHERED SOULS",
    "SCANLINE ORCHESTRA", "NULL TERMINATORS", "COPPER GUILD",     "THE ATTRIBUTE BYTES",
    "VECTOR VAGABONDS",  "HALF-BLOCK HEROES", "SIXTEEN COLOURS SOCIETY", "YOU, WATCHING THIS",
};

constexpr std::array<std::string_view, 7> credits{
    "CODE|the vexlade team|integer maths only, no libm was consulted",
    "MUSIC|the vexlade team|on a synthesizer written for this demo",
    "GRAPHICS|sixteen colours|and a great deal of patience",
    "FONT|8x8 pixels, code page 437|shades, blocks and box lines",
    "TOOLS|vexl mkdemo|a C++ compiler and plenty of tea",
    "RUNTIME|706 seconds|17650 frames at 25 per second",
    "THANKS|to everyone who kept|text mode alive",
};

constexpr std::array end_lines{
    std::string_view{"#EIGHTY BY FIFTY"},
    std::string_view{""},
    std::string_view{"a text-mode demo"},
    std::string_view{"by the vexlade team"},
    std::string_view{""},
    std::string_view{""},
    std::string_view{"#CREDITS"},
    std::string_view{""},
    std::string_view{"*code"},
    std::string_view{"the vexlade team"},
    std::string_view{""},
    std::string_view{"*music"},
    std::string_view{"the vexlade team"},
    std::string_view{""},
    std::string_view{"*text-mode art"},
    std::string_view{"the vexlade team"},
    std::string_view{""},
    std::string_view{""},
    std::string_view{"#GREETINGS"},
    std::string_view{""},
    std::string_view{"glyph foundry  -  nibble syndicate"},
    std::string_view{"cathode kids  -  raster monks"},
    std::string_view{"blinkless  -  team underscore"},
    std::string_view{"the palette thieves  -  dithered souls"},
    std::string_view{"scanline orchestra  -  null terminators"},
    std::string_view{"copper guild  -  the attribute bytes"},
    std::string_view{"vector vagabonds  -  half-block heroes"},
    std::string_view{"sixteen colours society"},
    std::string_view{"and you, for watching this"},
    std::string_view{""},
    std::string_view{""},
    std::string_view{"#THE NUMBERS"},
    std::string_view{""},
    std::string_view{"80 columns, 50 rows, 4000 cells"},
    std::string_view{"16 colours, 16 backgrounds, 0 blinking"},
    std::string_view{"256 glyphs of 8 by 8 pixels"},
    std::string_view{"17650 frames in 706 seconds"},
    std::string_view{"25 frames a second, 12 to the beat"},
    std::string_view{"not one floating-point number"},
    std::string_view{""},
    std::string_view{""},
    std::string_view{"#MESSAGE"},
    std::string_view{""},
    std::string_view{"every effect you saw was built"},
    std::string_view{"from characters and attributes:"},
    std::string_view{"shades, half blocks and box lines."},
    std::string_view{"no bitmaps, no pixels, no excuses."},
    std::string_view{""},
    std::string_view{"keep the scene alive."},
    std::string_view{""},
    std::string_view{""},
    std::string_view{""},
    std::string_view{"@THE END"},
    std::string_view{""},
    std::string_view{""},
    std::string_view{"*see you in the next frame"},
};

// ---------------------------------------------------------------- building

class TimelineBuilder {
public:
    explicit TimelineBuilder(const MusicMap& music) : music_(music) {}

    // A scene from bar `from` to bar `to` (absolute bar numbers).
    void add(std::string_view name, int from, int to, std::function<EffectPtr()> make,
             Transition in = Transition::cut, int in_beats = 0, int flash = 0)
    {
        Scene s;
        s.name = name;
        s.start = scenes_.empty() ? 0 : scenes_.back().end;
        s.end = std::min(music_.bar_frame(to), music_.frame_count());
        s.make = std::move(make);
        s.in = in;
        s.in_frames = in_beats * music_.frames_per_beat();
        s.flash = flash;
        // Scenes are gapless; `from` states where the script expects this
        // one to begin, which catches a script out of step with the music.
        if (!scenes_.empty() && music_.bar_frame(from) != s.start)
            throw std::logic_error("timeline scene starts out of order");
        if (s.end > s.start)
            scenes_.push_back(std::move(s));
    }

    std::vector<Scene> finish()
    {
        if (!scenes_.empty())
            scenes_.back().end = music_.frame_count();
        return std::move(scenes_);
    }

private:
    const MusicMap& music_;
    std::vector<Scene> scenes_;
};

// Bar of the section named `name`, plus `offset` bars; -1 when missing.
int section_bar(const MusicMap& music, std::string_view name, int offset = 0)
{
    for (const SectionSpan& s : music.sections())
        if (s.name == name)
            return s.first_bar + offset;
    return -1;
}

constexpr std::string_view scripted_sections[] = {"intro", "rise",  "theme",     "answer", "drift",
                                                  "climb", "theme II", "lift",   "deep",   "surge",
                                                  "answer II", "finale", "peak", "outro"};

bool music_matches_script(const MusicMap& music)
{
    if (music.sections().size() != std::size(scripted_sections))
        return false;
    for (std::size_t i = 0; i < std::size(scripted_sections); ++i)
        if (music.sections()[i].name != scripted_sections[i])
            return false;
    return true;
}

// The demo as written for the default soundtrack.
std::vector<Scene> scripted(const MusicMap& music)
{
    TimelineBuilder b(music);
    auto bar = [&](std::string_view name, int offset = 0) { return section_bar(music, name, offset); };
    const int end = bar("outro") + 64;  // past the last bar: clamped to the end

    // intro + rise: the machine boots, the title builds, the stars speed up.
    b.add("boot", 0, bar("intro", 8), make_boot);
    b.add("title", bar("intro", 8), bar("rise"),
          [] { return make_starfield({.speed = 12, .speed_end = 24, .title = true}); }, Transition::iris, 4);
    b.add("warp", bar("rise"), bar("theme"),
          [] { return make_starfield({.speed = 24, .speed_end = 110, .title = true, .reveal = false}); },
          Transition::dissolve, 2);
    // theme: the first drop.
    b.add("plasma", bar("theme"), bar("theme", 16),
          [] { return make_plasma({.ramp = &ramps::rainbow(), .speed = 3}); }, Transition::cut, 0, 2);
    b.add("tunnel", bar("theme", 16), bar("answer"),
          [] { return make_tunnel({.ramp = &ramps::ice(), .speed = 6}); }, Transition::wipe_right, 4);
    // answer
    b.add("rotozoom", bar("answer"), bar("answer", 16), [] { return make_rotozoom({.variant = 0}); },
          Transition::iris, 4, 2);
    b.add("sine scroller", bar("answer", 16), bar("drift"), [] { return make_sine_scroller(scroller_text); },
          Transition::blinds, 4);
    // drift: calm.
    b.add("landscape", bar("drift"), bar("climb"), make_landscape, Transition::fade, 8);
    // climb: blobs gather as the drums return.
    b.add("metaballs", bar("climb"), bar("theme II"),
          [] { return make_metaballs({.ramp = &ramps::violet(), .balls_start = 2, .balls_end = 7}); },
          Transition::dissolve, 4);
    // theme II
    b.add("fire", bar("theme II"), bar("theme II", 16),
          [] { return make_fire({.ramp = &ramps::fire(), .words = fire_words}); }, Transition::cut, 0, 2);
    b.add("twister", bar("theme II", 16), bar("lift"), make_twister, Transition::wipe_down, 4);
    // lift
    b.add("greetings", bar("lift"), bar("lift", 16), [] { return make_greetings(greetings); },
          Transition::slide_up, 4, 1);
    b.add("rings", bar("lift", 16), bar("deep"), [] { return make_rings({.ramp = &ramps::violet()}); },
          Transition::iris, 4);
    // deep: half time, the credits.
    b.add("credits", bar("deep"), bar("surge"), [] { return make_code_rain(credits); }, Transition::fade, 8);
    // surge: into the tunnel, faster and faster.
    b.add("surge tunnel", bar("surge"), bar("answer II"),
          [] { return make_tunnel({.ramp = &ramps::fire(), .speed = 4, .speed_end = 24, .twist = 4}); },
          Transition::dissolve, 4);
    // answer II
    b.add("pixel plasma", bar("answer II"), bar("answer II", 16),
          [] { return make_plasma({.ramp = &ramps::sunset(), .speed = 4, .half_blocks = true}); }, Transition::cut, 0,
          2);
    b.add("rotozoom II", bar("answer II", 16), bar("finale"), [] { return make_rotozoom({.variant = 1}); },
          Transition::wipe_right, 4);
    // finale: a new effect every four bars, each cut hit with a flash.
    const std::array<std::function<EffectPtr()>, 8> finale{
        [] { return make_fire({.ramp = &ramps::toxic(), .words = finale_words}); },
        make_twister,
        [] { return make_metaballs({.ramp = &ramps::fire(), .balls_start = 6, .balls_end = 6}); },
        [] { return make_tunnel({.ramp = &ramps::violet(), .speed = 10, .twist = 6}); },
        [] { return make_plasma({.ramp = &ramps::ice(), .speed = 6}); },
        [] { return make_rings({.ramp = &ramps::fire()}); },
        [] { return make_rotozoom({.variant = 0}); },
        [] { return make_tunnel({.ramp = &ramps::toxic(), .speed = 14, .rings = true}); },
    };
    for (int i = 0; i < 8; ++i)
        b.add("finale", bar("finale", i * 4), bar("finale", i * 4 + 4), finale[static_cast<std::size_t>(i)],
              Transition::cut, 0, 2);
    // peak: the logo returns at warp speed, then the last run.
    b.add("peak title", bar("peak"), bar("peak", 8),
          [] { return make_starfield({.speed = 120, .speed_end = 160, .title = true, .streaks = true, .reveal = false}); },
          Transition::cut, 0, 2);
    b.add("peak metaballs", bar("peak", 8), bar("peak", 16),
          [] { return make_metaballs({.ramp = &ramps::toxic(), .balls_start = 4, .balls_end = 8}); }, Transition::cut,
          0, 2);
    b.add("peak twister", bar("peak", 16), bar("peak", 24), make_twister, Transition::wipe_right, 2, 1);
    b.add("peak plasma", bar("peak", 24), bar("outro"),
          [] { return make_plasma({.ramp = &ramps::rainbow(), .speed = 7}); }, Transition::cut, 0, 2);
    // outro
    b.add("end scroller", bar("outro"), bar("outro", 24), [] { return make_end_scroller(end_lines); },
          Transition::fade, 8);
    b.add("shutdown", bar("outro", 24), end, make_shutdown, Transition::cut);
    return b.finish();
}

// Any other soundtrack: one effect per section, picked by the section's
// kind, so the generator always covers the music.
std::vector<Scene> generic(const MusicMap& music)
{
    TimelineBuilder b(music);
    int n = 0;
    for (const SectionSpan& s : music.sections()) {
        const int from = s.first_bar, to = s.first_bar + s.bar_count;
        std::function<EffectPtr()> make;
        switch (s.kind) {
        case SectionKind::intro: make = [] { return make_starfield({.speed = 16, .speed_end = 40, .title = true}); }; break;
        case SectionKind::build: make = [] { return make_metaballs({.ramp = &ramps::violet()}); }; break;
        case SectionKind::main:
            make = n % 2 == 0 ? std::function<EffectPtr()>([] { return make_plasma({.ramp = &ramps::rainbow()}); })
                              : std::function<EffectPtr()>([] { return make_tunnel({.ramp = &ramps::ice()}); });
            break;
        case SectionKind::breakdown: make = make_landscape; break;
        case SectionKind::finale: make = make_twister; break;
        case SectionKind::outro: make = [] { return make_end_scroller(end_lines); }; break;
        }
        b.add(s.name, from, to, std::move(make), n == 0 ? Transition::cut : Transition::dissolve, n == 0 ? 0 : 4);
        ++n;
    }
    return b.finish();
}

}  // namespace

std::vector<Scene> build_timeline(const MusicMap& music)
{
    return music_matches_script(music) ? scripted(music) : generic(music);
}

}  // namespace vexl::demo
