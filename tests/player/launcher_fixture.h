#pragma once
// A run of the launcher against fakes: every platform service it calls is
// a fake installed for the test's life (files excepted: the frame file is
// read for real), in a directory of the test's own that is the current
// one, with the player's process-wide state as at process start.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/process_records.h"
#include "platform/linux/linux_files.h"
#include "platform/run_report.h"
#include "player/block_writer.h"
#include "tests/support/test_dir.h"
#include "player/launcher.h"
#include "tests/fakes/call_journal.h"
#include "tests/fakes/fake_audio_library.h"
#include "tests/fakes/fake_dialogs.h"
#include "tests/fakes/fake_display.h"
#include "tests/fakes/fake_messages.h"
#include "tests/fakes/fake_programs.h"
#include "tests/fakes/fake_sleeper.h"
#include "tests/fakes/fake_terminal.h"

namespace vexl::testing {

class LauncherFixture : public ::testing::Test {
protected:
    explicit LauncherFixture(const std::string& prefix) : dir_(prefix)
    {
        std::memset(TextFrame, 0, sizeof TextFrame);
        PlayerSettings = {};
        MainWindow = nullptr;
        FileImage = {};
    }

    // `frames` (whole frames of 8000 bytes, or cut short) as the frame file.
    void write_frame_file(const std::vector<std::uint8_t>& frames)
    {
        std::FILE* out = std::fopen(frame_file_name, "wb");
        ASSERT_NE(out, nullptr);
        BlockWriter writer(file_sink(out));
        ASSERT_TRUE(writer.write(frames));
        ASSERT_TRUE(writer.finish());
        std::fclose(out);
    }

    // The bytes as the frame file, as they are.
    void write_raw_frame_file(const std::vector<std::uint8_t>& bytes)
    {
        std::FILE* out = std::fopen(frame_file_name, "wb");
        ASSERT_NE(out, nullptr);
        if (!bytes.empty()) {
            ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
        }
        std::fclose(out);
    }

    // The lines kept for after the run, joined by line breaks.
    std::string report_text()
    {
        std::string text;
        for (const std::string& line : report.take())
            text += line + "\n";
        return text;
    }

    fakes::CallJournal journal;  // the console's and the dialogs' calls in order
    fakes::FakeTerminal terminal{&journal};
    fakes::FakeDialogs dialogs{&journal};
    fakes::FakeSleeper sleeper;
    fakes::FakeMessageQueue messages;
    fakes::FakeAudioLibrary audio;
    fakes::FakeDisplay display;
    fakes::FakePrograms programs;
    platform::LinuxFiles files;
    platform::RunReport report;
    platform::ScopedService<platform::Terminal> terminal_slot{terminal};
    platform::ScopedService<platform::Dialogs> dialogs_slot{dialogs};
    platform::ScopedService<platform::Sleeper> sleeper_slot{sleeper};
    platform::ScopedService<platform::MessageQueue> messages_slot{messages};
    platform::ScopedService<platform::AudioLibrary> audio_slot{audio};
    platform::ScopedService<platform::Display> display_slot{display};
    platform::ScopedService<platform::Files> files_slot{files};
    platform::ScopedService<platform::Programs> programs_slot{programs};
    platform::ScopedService<platform::RunReport> report_slot{report};

private:
    test::ScopedTestDir dir_;
};

}  // namespace vexl::testing
