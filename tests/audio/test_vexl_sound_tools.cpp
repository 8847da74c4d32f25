// vexl speaker and vexl mksound, run as the built executable.

#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "audio/speaker_sim.h"
#include "platform/linux/linux_sound_files.h"
#include "tests/audio/sound_test_files.h"
#include "tests/tools/hostile_files.h"
#include "tools/synth/synth.h"

namespace vexl {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using vexl::testing::ScratchDir;
using vexl::testing::write_sound;

struct ToolRun {
    int status = -1;
    std::string err;
};

class VexlSoundTools : public ::testing::Test {
protected:
    ToolRun vexl(const std::string& args)
    {
        const std::string err_file = dir_.file(".stderr");
        const std::string command = std::string("'") + VEXL_TOOL + "' " + args + " 2>'" + err_file + "'";
        ToolRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::ifstream in(err_file);
        run.err.assign(std::istreambuf_iterator<char>(in), {});
        return run;
    }
    std::string q(const std::string& name) { return "'" + dir_.file(name) + "'"; }

    platform::MonoSound read(const std::string& name)
    {
        platform::MonoSound sound;
        std::string error;
        EXPECT_TRUE(files_.read_mono16(dir_.file(name), sound, error)) << error;
        return sound;
    }

    ScratchDir dir_;
    platform::LinuxSoundFiles files_;
};

TEST_F(VexlSoundTools, SpeakerGivesTheSimulationsSamplesFromRest)
{
    std::vector<std::int16_t> in(8, 16384);
    in.resize(12, 0);
    ASSERT_TRUE(write_sound(dir_.file("in.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 22050, in));
    const ToolRun run = vexl("speaker " + q("in.flac") + " " + q("out.wav"));
    ASSERT_EQ(run.status, 0) << run.err;
    const platform::MonoSound out = read("out.wav");
    EXPECT_EQ(out.sample_rate, 22050);
    EXPECT_THAT(out.samples, ElementsAre(-235, -1401, -3072, -2039, 3634, 9570, 10545, 7315, 3597,
                                         964, -1563, -5096));
}

TEST_F(VexlSoundTools, SpeakerKeepsTheRateAndAveragesChannels)
{
    std::vector<std::int16_t> stereo;
    for (int i = 0; i < 10000; ++i) {
        stereo.push_back(static_cast<std::int16_t>((i * 37) % 20000 - 10000));
        stereo.push_back(static_cast<std::int16_t>((i * 91) % 16000 - 8000));
    }
    ASSERT_TRUE(write_sound(dir_.file("st.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, stereo));
    ASSERT_EQ(vexl("speaker " + q("st.wav") + " " + q("out.wav")).status, 0);
    const platform::MonoSound out = read("out.wav");
    EXPECT_EQ(out.sample_rate, 44100);
    ASSERT_EQ(out.samples.size(), 10000u);

    // The same as running the hook in-process over the mixed-down input.
    platform::MonoSound mono = read("st.wav");
    speaker_sim_reset();
    speaker_sim_dsp(nullptr, mono.samples.data(), static_cast<int>(mono.samples.size()), nullptr);
    speaker_sim_reset();
    EXPECT_EQ(out.samples, mono.samples);
}

TEST_F(VexlSoundTools, SpeakerRefusesBadInputAndLeavesTheOutputAlone)
{
    { std::ofstream(dir_.file("out.wav")) << "precious"; }
    { std::ofstream(dir_.file("notes.txt")) << "this is not a sound file\n"; }

    ToolRun run = vexl("speaker " + q("missing.wav") + " " + q("out.wav"));
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("missing.wav"));
    run = vexl("speaker " + q("notes.txt") + " " + q("out.wav"));
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("not a sound file"));
    run = vexl("speaker " + q("notes.txt"));
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr("usage: vexl speaker IN OUT.wav"));

    std::ifstream kept(dir_.file("out.wav"));
    std::string text((std::istreambuf_iterator<char>(kept)), {});
    EXPECT_EQ(text, "precious");
    int leftovers = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir_.file("")))
        leftovers += e.path().filename().string().find(".tmp-") != std::string::npos;
    EXPECT_EQ(leftovers, 0);
}

TEST_F(VexlSoundTools, MksoundWritesTheDefaultSoundtrack)
{
    const ToolRun run = vexl("mksound " + q("ld_vexl.d2"));
    ASSERT_EQ(run.status, 0) << run.err;
    const platform::MonoSound track = read("ld_vexl.d2");
    EXPECT_EQ(track.sample_rate, 22050);
    EXPECT_EQ(track.samples, synth::render_default_soundtrack());

    EXPECT_EQ(vexl("mksound").status, 2);
    EXPECT_EQ(vexl("mksound " + q("no/such/dir/x.wav")).status, 1);
}

TEST_F(VexlSoundTools, SpeakerWithAwkwardFilesAndItsInputNamedAsOutput)
{
    testing::HostileFiles files(VEXL_TOOL);
    std::vector<std::int16_t> samples(40000);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>((i * 263) % 30000 - 15000);
    ASSERT_TRUE(write_sound(files.path("in.wav").string(), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 22050, samples));
    // A WAV file's header is written last, so a FIFO can't take one.
    files.expect_output_targets_handled("speaker in.wav {OUT}", false);
    files.expect_input_kept_from_output("speaker in.wav {OUT}", "in.wav");
    files.expect_inputs_refused("speaker {IN} {OUT}");
}

}  // namespace
}  // namespace vexl
