#include "player/launcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "core/process_records.h"
#include "player/pack_stream.h"
#include "tests/fakes/fake_files.h"
#include "tests/player/launcher_fixture.h"

namespace vexl {
namespace {

using platform::Message;

constexpr int ms_per_frame = 40;  // 882 samples at 22050 Hz

// Frame k carries its number in the characters of its first two cells and,
// for cut-short data, in its last cell's character too.
std::vector<std::uint8_t> numbered_frames(int count, std::size_t extra_bytes = 0)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * frame_bytes + extra_bytes, 0x07);
    for (std::size_t at = 0; at < bytes.size(); at += frame_bytes) {
        const auto k = static_cast<int>(at / frame_bytes);
        bytes[at] = static_cast<std::uint8_t>(k & 0xFF);
        bytes[at + 2] = static_cast<std::uint8_t>(k >> 8);
        if (at + frame_bytes <= bytes.size())
            bytes[at + frame_bytes - 2] = static_cast<std::uint8_t>(k & 0xFF);
    }
    return bytes;
}

int frame_number(const fakes::FakeTerminal::Write& w)
{
    return w.cells[0].ch | w.cells[1].ch << 8;
}

class Launcher : public testing::LauncherFixture {
protected:
    Launcher() : LauncherFixture("vexl-launcher")
    {
        PlayerSettings.use_console = true;  // these tests read the console's writes
    }

    // Each pass's sleep moves the play position on by `ms`.
    void clock_steps_per_pass(int ms)
    {
        sleeper.on_sleep = [this, ms](int) { audio.set_time_ms(audio.time_ms() + ms); };
    }
};

TEST_F(Launcher, FrameKIsPresentedWhenTheClockFirstReachesItsTime)
{
    write_frame_file(numbered_frames(30));
    clock_steps_per_pass(1);
    std::vector<int> clock_at_write;  // the clock value the loop last read
    terminal.on_write = [&] { clock_at_write.push_back(audio.time_ms()); };
    int passes_to_quit = 25 * ms_per_frame + 5;
    sleeper.on_sleep = [&](int) {
        audio.set_time_ms(audio.time_ms() + 1);
        if (--passes_to_quit == 0)
            messages.post(Message{nullptr, platform::WM_QUIT, 0, 0});
    };

    EXPECT_EQ(run_demo(), 0);
    ASSERT_GE(terminal.writes.size(), 26u);
    // The first frame is shown before the sound starts, and again at 882.
    EXPECT_EQ(frame_number(terminal.writes[0]), 0);
    EXPECT_EQ(clock_at_write[0], 0);
    for (std::size_t w = 1; w < terminal.writes.size(); ++w) {
        const int k = static_cast<int>(w) - 1;
        EXPECT_EQ(frame_number(terminal.writes[w]), k) << "write " << w;
        // The loop read (k+1) * 40 ms = (k+1) * 882 samples before the
        // sleep that moved the clock one step further.
        EXPECT_EQ(clock_at_write[w], (k + 1) * ms_per_frame + 1) << "frame " << k;
    }
}

TEST_F(Launcher, ClockJumpPresentsOneFramePerPassWithoutSkipping)
{
    write_frame_file(numbered_frames(30));
    std::vector<int> pass_of_write;
    terminal.on_write = [&] { pass_of_write.push_back(sleeper.count); };
    sleeper.on_sleep = [&](int pass) {
        if (pass == 3)
            audio.set_time_ms(10 * ms_per_frame);  // ten frames due at once
        if (pass == 40)
            messages.post(Message{nullptr, platform::WM_QUIT, 0, 0});
    };
    EXPECT_EQ(run_demo(), 0);
    ASSERT_EQ(terminal.writes.size(), 11u);
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(frame_number(terminal.writes[k + 1]), k);
        // The jump is seen by the loop test after pass 3, so pass 4 is
        // the first to present; then one per pass.
        EXPECT_EQ(pass_of_write[k + 1], 4 + k);
    }
}

TEST_F(Launcher, ClockAtTheEndOnEntryRunsNoPass)
{
    write_frame_file(numbered_frames(3));
    audio.set_time_ms(706000);  // 15567300 samples
    EXPECT_EQ(run_demo(), 0);
    EXPECT_EQ(sleeper.count, 0);
    ASSERT_EQ(terminal.writes.size(), 1u);
    EXPECT_EQ(terminal.calls.back(), "FreeConsole");
}

TEST_F(Launcher, KeyDownBehindOtherMessagesEndsTheLoopWhenItReachesTheHead)
{
    write_frame_file(numbered_frames(3));
    const std::uint32_t before[] = {platform::WM_MOUSEMOVE, platform::WM_SYSKEYDOWN,
                                    platform::WM_LBUTTONDOWN, platform::WM_CHAR};
    for (std::uint32_t code : before)
        messages.post(Message{nullptr, code, 0, 0});
    messages.post(Message{nullptr, platform::WM_KEYDOWN, 'x', 0});
    EXPECT_EQ(run_demo(), 0);
    ASSERT_EQ(messages.dispatched.size(), 4u);
    ASSERT_EQ(messages.translated.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(messages.dispatched[i].code, before[i]);
    EXPECT_EQ(sleeper.count, 4) << "one message per pass, each pass sleeping";
    EXPECT_EQ(sleeper.last_milliseconds, 1u);
    Message head;
    ASSERT_TRUE(messages.peek(head, platform::PM_NOREMOVE));
    EXPECT_EQ(head.code, platform::WM_KEYDOWN) << "the key-down message stays queued";
}

TEST_F(Launcher, QuitEndsTheLoopAtOnce)
{
    write_frame_file(numbered_frames(3));
    messages.post(Message{nullptr, platform::WM_QUIT, 0, 0});
    EXPECT_EQ(run_demo(), 0);
    EXPECT_EQ(sleeper.count, 0);
    EXPECT_TRUE(messages.dispatched.empty());
    EXPECT_EQ(terminal.calls.back(), "FreeConsole");
}

TEST_F(Launcher, TheWholeDemoShowsAtMost17649FramesAndDataEndingEarlyKeepsTheLastOne)
{
    // Three whole frames and half of a fourth: the cut-short frame keeps
    // the third's bytes behind its end.
    write_frame_file(numbered_frames(3, frame_bytes / 2));
    terminal.keep_cells = false;
    std::vector<int> last_char;
    terminal.on_write = [&] { last_char.push_back(TextFrame[frame_bytes - 2]); };
    // Mouse and system keys on the way do not end the run.
    sleeper.on_sleep = [&](int pass) {
        audio.set_time_ms(audio.time_ms() + ms_per_frame);
        if (pass % 1000 == 0) {
            messages.post(Message{nullptr, platform::WM_MOUSEMOVE, 0, 0});
            messages.post(Message{nullptr, platform::WM_SYSKEYDOWN, 0, 0});
        }
    };
    EXPECT_EQ(run_demo(), 0);
    ASSERT_EQ(terminal.writes.size(), 1u + 17649u);
    EXPECT_EQ(frame_number(terminal.writes[1 + 2]), 2);
    EXPECT_EQ(frame_number(terminal.writes[1 + 3]), 3) << "the partial frame is shown";
    EXPECT_EQ(last_char[1 + 3], 2) << "with the earlier frame behind its end";
    EXPECT_EQ(frame_number(terminal.writes.back()), 3) << "and stays on screen";
    EXPECT_GT(messages.dispatched.size(), 20u);
}

TEST_F(Launcher, SoundtrackThatDoesNotStartLeavesTheFirstFrameOnScreen)
{
    write_frame_file(numbered_frames(3));
    audio.fail_open(true);
    sleeper.on_sleep = [&](int pass) {
        if (pass == 500)
            messages.post(Message{nullptr, platform::WM_QUIT, 0, 0});
    };
    EXPECT_EQ(run_demo(), 0);
    EXPECT_EQ(sleeper.count, 500);
    ASSERT_EQ(terminal.writes.size(), 1u);
    EXPECT_EQ(frame_number(terminal.writes[0]), 0);
}

TEST_F(Launcher, TeardownStopsTheSoundThenFreesTheDataThenTheScreen)
{
    write_frame_file(numbered_frames(3));
    messages.post(Message{nullptr, platform::WM_QUIT, 0, 0});
    bool sound_closed_at_free = false;
    bool image_freed_at_free = false;
    terminal.on_call = [&](const std::string& call) {
        if (call == "FreeConsole") {
            sound_closed_at_free = audio.count("stream_close") == 1 && audio.count("close") == 1 &&
                                   audio.calls_without_time().back() == "close()";
            image_freed_at_free = FileImage.data == nullptr;
        }
    };
    EXPECT_EQ(run_demo(), 0);
    EXPECT_TRUE(sound_closed_at_free) << "the stream and the library closed before the screen goes";
    EXPECT_TRUE(image_freed_at_free);
    EXPECT_EQ(terminal.calls.back(), "FreeConsole");
}

TEST_F(Launcher, StartupShowsTheFirstFrameBeforeTheSoundStarts)
{
    write_frame_file(numbered_frames(3));
    messages.post(Message{nullptr, platform::WM_QUIT, 0, 0});
    bool sound_started_at_first_write = true;
    terminal.on_write = [&] {
        if (terminal.writes.size() == 1)
            sound_started_at_first_write = audio.count("stream_play") > 0;
    };
    EXPECT_EQ(run_demo(), 0);
    EXPECT_FALSE(sound_started_at_first_write);
    EXPECT_LT(journal.index("AllocConsole"), journal.index("WriteConsoleOutput"));
}

// The loading-failure path: the screen is up, the box is owned by
// MainWindow, nothing else starts, the exit code is 1.
void expect_loading_failure(fakes::CallJournal& journal, fakes::FakeDialogs& dialogs,
                            fakes::FakeTerminal& terminal, fakes::FakeAudioLibrary& audio, int result)
{
    EXPECT_EQ(result, 1);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Loading failed.");
    EXPECT_EQ(dialogs.shown[0].caption, "lumen-drift Vexlade 2003");
    EXPECT_EQ(dialogs.shown[0].type, platform::MB_OK);
    EXPECT_EQ(dialogs.shown[0].owner, MainWindow);
    EXPECT_LT(journal.index("AllocConsole"), journal.index("MessageBox Loading failed."));
    EXPECT_TRUE(terminal.writes.empty()) << "no frame shown";
    EXPECT_TRUE(audio.calls().empty()) << "no sound started";
    EXPECT_EQ(FileImage.data, nullptr);
    // The screen is given back after the box.
    EXPECT_EQ(journal.calls.back(), "FreeConsole");
}

TEST_F(Launcher, MissingFrameFileIsALoadingFailure)
{
    auto* owner = reinterpret_cast<platform::WindowHandle>(&journal);
    MainWindow = owner;
    const int result = run_demo();
    expect_loading_failure(journal, dialogs, terminal, audio, result);
    EXPECT_EQ(dialogs.shown[0].owner, owner);
}

TEST_F(Launcher, ShortReadIsALoadingFailureAndClosesTheFile)
{
    fakes::FakeFiles fake_files(&journal);
    platform::ScopedService<platform::Files> slot(fake_files);
    fake_files.contents[frame_file_name] = std::vector<unsigned char>(1000, 1);
    fake_files.short_read = 999;
    const int result = run_demo();
    expect_loading_failure(journal, dialogs, terminal, audio, result);
    EXPECT_EQ(fake_files.open_count, 0);
    EXPECT_TRUE(journal.has("read 1000")) << "one read of the whole size";
}

void* no_memory(std::size_t) { return nullptr; }

TEST_F(Launcher, NoMemoryForTheFileIsALoadingFailure)
{
    write_frame_file(numbered_frames(3));
    launcher_allocate = no_memory;
    const int result = run_demo();
    launcher_allocate = std::malloc;
    expect_loading_failure(journal, dialogs, terminal, audio, result);
}

TEST_F(Launcher, StreamThatDoesNotOpenIsALoadingFailureNotACrash)
{
    // The loader reads the file, but it is gone when the stream opens it.
    fakes::FakeFiles fake_files(&journal);
    platform::ScopedService<platform::Files> slot(fake_files);
    fake_files.contents[frame_file_name] = std::vector<unsigned char>(100, 2);
    const int result = run_demo();
    expect_loading_failure(journal, dialogs, terminal, audio, result);
}

TEST_F(Launcher, FrameFileFromWhichNoFrameDecodesIsALoadingFailure)
{
    std::vector<std::uint8_t> garbage(5000);
    std::mt19937 random(11);
    for (auto& byte : garbage)
        byte = static_cast<std::uint8_t>(random());
    garbage[0] = 2;  // a plausible level
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;  // as they are, or packed when `pack`
        bool pack;
        const char* why;
    } cases[] = {
        {"empty", {}, false, "holds no whole frame: offset 0: the file is empty"},
        {"level only", {2}, false, "holds no whole frame: its data ends after 0 of the 8000 bytes"},
        {"garbage", garbage, false, "holds no whole frame: offset 1: block 0 "},
        {"half a frame", numbered_frames(0, frame_bytes / 2), true,
         "holds no whole frame: its data ends after 4000 of the 8000 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.pack)
            write_frame_file(c.bytes);
        else
            write_raw_frame_file(c.bytes);
        journal.calls.clear();
        dialogs.shown.clear();
        const int result = run_demo();
        expect_loading_failure(journal, dialogs, terminal, audio, result);
        const std::string said = report_text();
        EXPECT_NE(said.find(std::string("ld_vexl.d1 ") + c.why), std::string::npos) << said;
    }
}

TEST_F(Launcher, FrameFileThatIsNoRegularFileFailsWithoutBlocking)
{
    // Opening a FIFO for reading would wait for a writer that never comes.
    ASSERT_EQ(mkfifo(frame_file_name, 0600), 0);
    expect_loading_failure(journal, dialogs, terminal, audio, run_demo());
    EXPECT_EQ(report_text(), "ld_vexl.d1 is a FIFO, not a regular file\n");

    std::remove(frame_file_name);
    ASSERT_EQ(mkdir(frame_file_name, 0700), 0);
    journal.calls.clear();
    dialogs.shown.clear();
    expect_loading_failure(journal, dialogs, terminal, audio, run_demo());
    EXPECT_EQ(report_text(), "ld_vexl.d1 is a directory, not a regular file\n");
}

TEST_F(Launcher, DamagePartWayPlaysWhatDecodesAndSaysWhereItStarts)
{
    write_frame_file(numbered_frames(3));
    const auto whole = static_cast<std::uint64_t>(std::filesystem::file_size(frame_file_name));
    {
        std::FILE* out = std::fopen(frame_file_name, "ab");
        ASSERT_NE(out, nullptr);
        std::fputs("\xFF\xFF\xFF\xFF damaged", out);  // a block far longer than any buffer
        std::fclose(out);
    }
    terminal.keep_cells = false;
    sleeper.on_sleep = [&](int pass) {
        audio.set_time_ms(audio.time_ms() + ms_per_frame);
        if (pass == 10)
            messages.post(Message{nullptr, platform::WM_QUIT, 0, 0});
    };
    EXPECT_EQ(run_demo(), 0);
    ASSERT_GE(terminal.writes.size(), 4u);
    EXPECT_EQ(frame_number(terminal.writes.back()), 2) << "the last whole frame stays";
    EXPECT_EQ(report_text(), "ld_vexl.d1 is damaged (3 frames decode): offset " +
                                 std::to_string(whole) +
                                 ": block 1 is 4294967295 bytes long, more than the 73744-byte buffer; "
                                 "the data ends here\n");
}

TEST_F(Launcher, DamageNotReachedIsToldWhenTheFileIsCutShort)
{
    write_frame_file(numbered_frames(30));
    const auto whole = static_cast<std::uint64_t>(std::filesystem::file_size(frame_file_name));
    {
        std::FILE* out = std::fopen(frame_file_name, "ab");
        ASSERT_NE(out, nullptr);
        const char cut_block[] = "\x00\x00\x10\x00 cut";  // a block of 4096 bytes, 4 of them there
        std::fwrite(cut_block, 1, sizeof cut_block - 1, out);
        std::fclose(out);
    }
    messages.post(Message{nullptr, platform::WM_QUIT, 0, 0});  // long before the end
    EXPECT_EQ(run_demo(), 0);
    EXPECT_EQ(report_text(), "ld_vexl.d1 is damaged: offset " + std::to_string(whole) +
                                 ": block 4 is cut short, 4 of its 4096 bytes are there; it delivers nothing\n");
}

TEST_F(Launcher, AShortBlockCostsItsOwnFramesAndTheRestStayInLine)
{
    // Level 1: blocks of 32768 bytes. The second unpacks whole to only
    // 10000 (no decompressor error), so frames 6 and 7 and the start of 8
    // are missing: they keep frame 5, and from frame 9 on all is in place.
    const std::vector<std::uint8_t> frames = numbered_frames(20);
    const std::span<const std::uint8_t> all(frames);
    std::vector<std::uint8_t> file{1};
    std::size_t second_block = 0;
    for (const auto part : {all.first(32768), all.subspan(32768, 10000), all.subspan(65536)}) {
        const std::vector<std::uint8_t> packed = pack_bytes(part, 1);
        second_block = second_block == 0 ? packed.size() : second_block;
        file.insert(file.end(), packed.begin() + 1, packed.end());
    }
    write_raw_frame_file(file);
    terminal.keep_cells = false;
    sleeper.on_sleep = [&](int pass) {
        audio.set_time_ms(audio.time_ms() + ms_per_frame);
        if (pass == 18)
            messages.post(Message{nullptr, platform::WM_QUIT, 0, 0});
    };
    EXPECT_EQ(run_demo(), 0);
    ASSERT_GE(terminal.writes.size(), 18u);
    for (int k = 0; k < 17; ++k)
        EXPECT_EQ(frame_number(terminal.writes[static_cast<std::size_t>(k) + 1]), k >= 6 && k <= 8 ? 5 : k)
            << "frame " << k;
    const std::string said = report_text();
    EXPECT_EQ(said.rfind("ld_vexl.d1 is damaged: offset " + std::to_string(second_block) + ": block 1 (", 0), 0u)
        << said;
    EXPECT_NE(said.find("unpacks to 10000 bytes, not the 32768 of its level; frames 4 to 8 lie in it, "
                        "the frames after it stay in place\n"),
              std::string::npos)
        << said;
}

TEST_F(Launcher, QuestionsFillTheSettingsAndAskInOrder)
{
    write_frame_file(numbered_frames(1));
    messages.post(Message{nullptr, platform::WM_QUIT, 0, 0});
    dialogs.answers = {platform::IDNO, platform::IDYES};
    EXPECT_EQ(ask_settings(), 0);
    ASSERT_GE(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].text, "Use DirectDraw output (FullScreen)?");
    EXPECT_EQ(dialogs.shown[1].text, "Simulate PC-Speaker?");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(dialogs.shown[i].caption, "lumen-drift Vexlade 2003");
        EXPECT_EQ(dialogs.shown[i].type, platform::MB_YESNO);
        EXPECT_EQ(dialogs.shown[i].owner, nullptr);
    }
    EXPECT_TRUE(PlayerSettings.use_console);
    EXPECT_TRUE(PlayerSettings.simulate_speaker);
    EXPECT_EQ(audio.dsps().size(), 1u) << "the speaker simulation was attached";

    dialogs.answers = {platform::IDYES, platform::IDNO};
    messages.post(Message{nullptr, platform::WM_QUIT, 0, 0});
    EXPECT_EQ(ask_settings(), 0);
    EXPECT_FALSE(PlayerSettings.use_console);
    EXPECT_FALSE(PlayerSettings.simulate_speaker);
}

TEST_F(Launcher, LoadingFailureFromTheQuestionsReturnsOne)
{
    dialogs.answers = {platform::IDNO, platform::IDNO};
    EXPECT_EQ(ask_settings(), 1);
    EXPECT_EQ(dialogs.shown.back().text, "Loading failed.");
}

}  // namespace
}  // namespace vexl
