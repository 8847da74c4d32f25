#include "player/launcher.h"

#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "audio/soundtrack.h"
#include "core/process_records.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/run_report.h"
#include "platform/sleep.h"
#include "player/frame_reader.h"
#include "player/pack_stream.h"
#include "player/pack_survey.h"

namespace vexl {

LauncherAllocate launcher_allocate = std::malloc;

namespace {

int loading_failed()
{
    platform::dialogs().message_box(MainWindow, loading_failed_text, player_caption, platform::MB_OK);
    return 1;
}

// Reads the whole frame file into FileImage. False when it is missing or
// unreadable, too big, or there is no memory for it; nothing stays open
// or allocated then.
bool load_file_image()
{
    platform::Files& files = platform::files();
    std::int64_t size = 0;
    // A file that can't be examined reads as empty; the open or the read
    // then fails below.
    if (!files.stat_size(frame_file_name, size) || size < 0)
        size = 0;
    const int fd = files.open_read(frame_file_name);
    auto* data = size <= largest_frame_file
                     ? static_cast<std::uint8_t*>(launcher_allocate(static_cast<std::size_t>(size)))
                     : nullptr;
    const bool whole = data != nullptr && fd >= 0 &&
                       files.read(fd, data, static_cast<std::uint32_t>(size)) == size;
    if (fd >= 0)
        files.close(fd);
    if (!whole) {
        std::free(data);
        return false;
    }
    FileImage.data = data;
    FileImage.size = static_cast<std::uint32_t>(size);
    FileImage.read_pos = 0;
    return true;
}

void free_file_image()
{
    std::free(FileImage.data);
    FileImage = FileImageRecord{};
}

std::span<const std::uint8_t> file_image()
{
    return {FileImage.data, FileImage.size};
}

// Why not a single frame could be decoded, for after the run.
void report_no_frame()
{
    const PackInfo info = inspect_pack(file_image());
    std::string why;
    if (info.damaged())
        why = describe(info.damage.front(), info.capacity);
    else
        why = "its data ends after " + std::to_string(info.unpacked_bytes) + " of the " +
              std::to_string(frame_read_size) + " bytes of a frame";
    platform::report_after_run(std::string(frame_file_name) + " holds no whole frame: " + why);
}

// Where a frame file that played is damaged, for after the run; nothing
// when it is whole (it may still end before the demo does). Decompressing
// the whole file again takes a good part of a second, so that is done only
// when playback ran out of data, to tell all of it; otherwise the damage
// the reading met and the damage to the structure further on that the
// block walk found.
void report_damage(const FrameReader& frames, const PackBlockWalk& walk)
{
    std::vector<PackDamage> damage = frames.damage();
    std::string line = std::string(frame_file_name) + " is damaged";
    if (frames.ended()) {
        const PackInfo info = inspect_pack(file_image());
        damage = info.damage;
        line += " (" + std::to_string(info.whole_frames - info.damaged_frames) + " frames decode";
        if (info.damaged_frames != 0)
            line += ", " + std::to_string(info.damaged_frames) + " more lie in damaged blocks";
        line += ")";
    } else if (walk.end_damage()) {
        damage.push_back(*walk.end_damage());
    }
    if (damage.empty())
        return;
    line += ": " + describe(damage.front(), walk.capacity());
    if (damage.size() > 1)
        line += " (and " + std::to_string(damage.size() - 1) + " more; `vexl info " + frame_file_name +
                "` lists them all)";
    platform::report_after_run(line);
}

// Frames due at clock t: t * 25 / 22050 truncated toward zero, formed in
// 64 bits so that no clock value can overflow it.
std::int32_t frames_due(std::int32_t t)
{
    return static_cast<std::int32_t>(static_cast<std::int64_t>(t) * frames_per_second / clock_rate);
}

// Shows one frame after another as the clock makes them due, at most one
// per pass, until the end limit, a key press or WM_QUIT.
void playback_loop(FrameReader& frames)
{
    platform::MessageQueue& messages = platform::messages();
    platform::Sleeper& sleeper = platform::sleeper();
    std::int32_t presented = 0;
    std::int32_t t = sample_clock();
    while (t < end_limit) {
        platform::Message message;
        if (messages.peek(message, platform::PM_NOREMOVE)) {
            if (message.code == platform::WM_KEYDOWN)
                break;  // left in the queue
            if (messages.get(message) == 0)
                break;  // WM_QUIT
            messages.translate(message);
            messages.dispatch(message);
        }
        sleeper.sleep(idle_sleep_ms);
        if (presented < frames_due(t)) {
            show_frame();
            ++presented;
            // Decode the next frame now, one interval ahead of its showing.
            frames.read(TextFrame, frame_read_size);
        }
        t = sample_clock();
    }
}

// Ends a run that got as far as an open frame stream.
void close_run(PackStream* stream)
{
    pack_release(stream);
    free_file_image();
    std::free(stream);
    destroy_screen();
}

}  // namespace

int ask_settings()
{
    platform::Dialogs& dialogs = platform::dialogs();
    PlayerSettings.use_console =
        dialogs.message_box(nullptr, question_fullscreen, player_caption, platform::MB_YESNO) != platform::IDYES;
    PlayerSettings.simulate_speaker =
        dialogs.message_box(nullptr, question_speaker, player_caption, platform::MB_YESNO) == platform::IDYES;
    return run_demo();
}

std::array<int, 2> settings_as_answers()
{
    return {PlayerSettings.use_console ? platform::IDNO : platform::IDYES,
            PlayerSettings.simulate_speaker ? platform::IDYES : platform::IDNO};
}

int run_demo()
{
    create_screen();
    // Without a screen nothing could be shown, unless the run goes on in a
    // terminal window.
    if (!screen_exists())
        return continued_elsewhere() ? 0 : loading_failed();

    if (!load_file_image()) {
        const int code = loading_failed();
        destroy_screen();  // gives the terminal or display back
        return code;
    }
    PackStream* stream = pack_open(frame_file_name, "r");
    if (stream == nullptr) {
        // The file was read a moment ago but can't be opened again.
        const int code = loading_failed();
        free_file_image();
        destroy_screen();
        return code;
    }
    FileImage.read_pos = 1;  // the byte source starts behind the level byte
    PackBlockWalk walk;      // the block lengths alone: microseconds
    walk.walk(file_image(), true);
    FrameReader frames(stream, walk);

    if (frames.read(TextFrame, frame_read_size) < frame_read_size) {
        // Not a single frame decodes (an empty or a garbage file): there
        // is nothing to play, which is no success.
        report_no_frame();
        const int code = loading_failed();
        close_run(stream);
        return code;
    }
    show_frame();
    soundtrack_start();  // after the first frame is on the screen

    playback_loop(frames);

    soundtrack_stop();
    report_damage(frames, walk);  // while the image is still there
    close_run(stream);
    return 0;
}

}  // namespace vexl
