#include "platform/linux/sdl_audio_drivers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/linux/linux_audio_library.h"
#include "tests/audio/sound_test_files.h"

namespace vexl::platform {
namespace {

using vexl::testing::ScratchDir;

class AlsaDevices : public ::testing::Test {
protected:
    AlsaDevices()
    {
        places_.cards = dir_.file("cards");
        places_.device_dir = dir_.file("snd");
        std::filesystem::create_directory(places_.device_dir);
    }
    void write(const std::filesystem::path& path, const char* text) { std::ofstream(path) << text; }

    ScratchDir dir_;
    AlsaPlaces places_;
};

TEST_F(AlsaDevices, NoCardNoPcmNodeNoConfigurationMeansNoDevice)
{
    EXPECT_FALSE(alsa_may_have_device(places_));  // nothing there at all
    write(places_.cards, "--- no soundcards ---\n");
    // Sequencer and timer nodes exist without any card.
    write(places_.device_dir / "seq", "");
    write(places_.device_dir / "timer", "");
    places_.configs = {dir_.file("absent.conf")};
    EXPECT_FALSE(alsa_may_have_device(places_));
}

TEST_F(AlsaDevices, AListedCardAPcmNodeOrAHandWrittenConfigurationEachCount)
{
    write(places_.cards, " 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
                         "                      HDA Intel PCH at 0xf7f10000 irq 32\n");
    EXPECT_TRUE(alsa_may_have_device(places_));

    write(places_.cards, "--- no soundcards ---\n");
    write(places_.device_dir / "pcmC0D0p", "");
    EXPECT_TRUE(alsa_may_have_device(places_));

    std::filesystem::remove(places_.device_dir / "pcmC0D0p");
    ASSERT_FALSE(alsa_may_have_device(places_));
    write(dir_.file("asoundrc"), "pcm.!default { type pulse }\n");
    places_.configs = {dir_.file("absent.conf"), dir_.file("asoundrc")};
    EXPECT_TRUE(alsa_may_have_device(places_));
}

TEST(SdlAudioDriverHint, WithoutAlsaDeviceOffersOnlyBackendsThatNeedNoCardInSdlsOrder)
{
    const std::vector<std::string> debian = {"pulseaudio", "alsa", "sndio", "pipewire",
                                             "dsp",        "disk", "dummy"};
    EXPECT_EQ(sdl_drivers_without_alsa(debian), "pulseaudio,pipewire,dsp");
    EXPECT_EQ(sdl_drivers_without_alsa({"pipewire", "jack", "alsa", "pulseaudio"}), "pipewire,pulseaudio");
    EXPECT_EQ(sdl_drivers_without_alsa({"alsa", "disk", "dummy"}), "");

    EXPECT_EQ(sdl_audio_driver_hint("", nullptr, false, debian), "pulseaudio,pipewire,dsp");
    EXPECT_EQ(sdl_audio_driver_hint("", "", false, debian), "pulseaudio,pipewire,dsp");
    EXPECT_EQ(sdl_audio_driver_hint("", nullptr, false, {"alsa"}), "");  // nothing worth trying
}

TEST(SdlAudioDriverHint, TheUsersChoiceAndAnAlsaDeviceLeaveSdlAloneAProgramRequestWins)
{
    const std::vector<std::string> debian = {"pulseaudio", "alsa", "dummy"};
    EXPECT_EQ(sdl_audio_driver_hint("", "alsa", false, debian), std::nullopt);
    EXPECT_EQ(sdl_audio_driver_hint("", nullptr, true, debian), std::nullopt);
    EXPECT_EQ(sdl_audio_driver_hint("dummy", "alsa", false, debian), "dummy");
    EXPECT_EQ(sdl_audio_driver_hint("dummy", nullptr, true, debian), "dummy");
}

// Collects what the process writes to stderr while it lives.
class StderrCapture {
public:
    StderrCapture() : file_(std::tmpfile())
    {
        std::fflush(stderr);
        saved_ = dup(2);
        dup2(fileno(file_), 2);
    }
    ~StderrCapture()
    {
        restore();
        std::fclose(file_);
    }
    std::string text()
    {
        restore();
        std::rewind(file_);
        std::string text;
        for (int c; (c = std::fgetc(file_)) != EOF;)
            text += static_cast<char>(c);
        return text;
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }
    std::FILE* file_;
    int saved_ = -1;
};

TEST(SdlAudioDriverHint, WithoutSoundCardTheAutomaticChoiceStartsQuietly)
{
    if (alsa_may_have_device(AlsaPlaces::of_this_system()))
        GTEST_SKIP() << "this machine has an ALSA device";
    if (const char* user = std::getenv("SDL_AUDIODRIVER"); user != nullptr && *user != '\0')
        GTEST_SKIP() << "SDL_AUDIODRIVER is set";
    StderrCapture capture;
    {
        LinuxAudioLibrary audio;
        ASSERT_TRUE(audio.init(22050, 1, 2));
        EXPECT_GT(audio.output_rate(), 0);
        audio.close();
    }
    EXPECT_EQ(capture.text(), "");
}

}  // namespace
}  // namespace vexl::platform
