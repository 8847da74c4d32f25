#pragma once
// An X server of its own for the end-to-end tests, and comparing its
// screenshots with pictures.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/fullscreen/xwd_reading.h"
#include "tests/player/tmux_session.h"
#include "tools/vexl/frame_picture.h"

namespace vexl::testing {

namespace fs = std::filesystem;

// An X server of its own on a free display number, by default 640 x 400
// like the picture, so the full-screen window covers it exactly.
class XvfbServer {
public:
    explicit XvfbServer(const fs::path& dir, const std::string& size = "640x400") : dir_(dir)
    {
        const std::string d = shell_quote(dir.string());
        std::system(("Xvfb -displayfd 3 -screen 0 " + size + "x24 -nolisten tcp 3>" + d + "/xvfb.display 2>" + d +
                     "/xvfb.log & echo $! >" + d + "/xvfb.pid")
                        .c_str());
        TmuxSession::wait_for([&] { return !number().empty(); }, std::chrono::seconds(20));
    }
    ~XvfbServer()
    {
        for (const char* file : {"wm.pid", "xvfb.pid"}) {
            const std::string pid = read(file);
            if (!pid.empty())
                std::system(("kill " + pid + " 2>/dev/null").c_str());
        }
    }

    // A window manager, as every desktop has: only it makes a window full
    // screen (a small one, evilwm; true once it has taken over).
    bool start_window_manager() const
    {
        const std::string d = shell_quote(dir_.string());
        const std::string on = "DISPLAY=" + display() + " ";
        std::system((on + "evilwm -fn fixed >" + d + "/wm.log 2>&1 & echo $! >" + d + "/wm.pid").c_str());
        return TmuxSession::wait_for(
            [&] { return std::system((on + "xprop -root _NET_SUPPORTED 2>/dev/null | grep -q FULLSCREEN").c_str()) == 0; },
            std::chrono::seconds(30));
    }
    // What the window manager said, for a test that failed to start it.
    std::string window_manager_log() const { return read("wm.log"); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // The whole screen now, through a file in the server's folder.
    bool screenshot(Screenshot& shot) const
    {
        const std::string file = (dir_ / "shot.xwd").string();
        std::system(("xwd -root -silent -display " + display() + " >" + shell_quote(file) + " 2>/dev/null").c_str());
        return read_xwd(file.c_str(), shot);
    }

    // ":N", empty until the server is ready.
    std::string display() const
    {
        const std::string n = number();
        return n.empty() ? n : ":" + n;
    }

private:
    std::string number() const
    {
        std::string n = read("xvfb.display");
        while (!n.empty() && (n.back() == '\n' || n.back() == ' '))
            n.pop_back();
        return n;
    }
    std::string read(const char* file) const
    {
        std::ifstream in(dir_ / file);
        std::string text;
        std::getline(in, text);
        return text;
    }

    fs::path dir_;
};

// Pixels that differ between a screenshot and a picture (all of them when
// the sizes differ).
inline long differing_pixels(const Screenshot& shot, const tool::RgbPicture& picture)
{
    if (shot.width != picture.width || shot.height != picture.height)
        return static_cast<long>(picture.rgb.size() / 3);
    long differing = 0;
    for (std::size_t i = 0; i < shot.rgb.size(); ++i) {
        const std::uint8_t* p = picture.rgb.data() + 3 * i;
        differing += shot.rgb[i] != (std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2]);
    }
    return differing;
}

}  // namespace vexl::testing
