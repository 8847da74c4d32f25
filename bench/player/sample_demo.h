#pragma once
// Frames with moving content for the player's benchmarks: a colour plasma
// that drifts a little each frame with a scrolling caption, the kind of
// picture a text-mode demo shows. A demo file given in VEXL_BENCH_DEMO is
// used instead when set.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "player/block_writer.h"
#include "player/pack_stream.h"

namespace vexl::bench {

inline std::vector<std::uint8_t> plasma_frame(int k)
{
    static const std::uint8_t shade[4] = {0xB0, 0xB1, 0xB2, 0xDB};
    static const std::uint8_t ramp[16] = {1, 9, 3, 11, 2, 10, 6, 14, 4, 12, 5, 13, 1, 9, 3, 11};
    static const std::string title = "  vexlade  -  benchmark demo  -  ";
    std::vector<std::uint8_t> frame(8000);
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 80; ++j) {
            const double v = (std::sin(j / 7.0 + k / 11.0) + std::sin(j / 17.0 - k / 23.0) +
                              std::sin(i / 5.0 - k / 13.0) + std::sin(i / 11.0 + k / 29.0) + 4) * 2;
            const int c = static_cast<int>(v) % 16;
            const int s = static_cast<int>((v - static_cast<int>(v)) * 4);
            std::uint8_t ch = shade[s];
            std::uint8_t attr = static_cast<std::uint8_t>((ramp[(c + 1) % 16] & 7) << 4 | ramp[c]);
            if (i == 24 && j >= 10 && j < 70) {
                ch = static_cast<std::uint8_t>(title[static_cast<std::size_t>(j + k / 3) % title.size()]);
                attr = 0x1F;
            }
            frame[static_cast<std::size_t>(i * 160 + 2 * j)] = ch;
            frame[static_cast<std::size_t>(i * 160 + 2 * j + 1)] = attr;
        }
    return frame;
}

// A calmer scene: a fixed backdrop of boxes and text, a ball bouncing
// across it and a scroller along the bottom; a few percent of the cells
// change per frame.
inline std::vector<std::uint8_t> scene_frame(int k)
{
    static const std::string scroller = "   greetings to everyone still coding in text mode   ";
    std::vector<std::uint8_t> frame(8000);
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 80; ++j) {
            const bool border = i == 0 || i == 47 || j == 0 || j == 79;
            std::uint8_t ch = border ? 0xDB : ((i * 7 + j * 3) % 11 == 0 ? 0xFA : 0x20);
            std::uint8_t attr = border ? 0x09 : static_cast<std::uint8_t>(0x10 + (i / 6));
            if (i >= 48) {
                ch = static_cast<std::uint8_t>(scroller[static_cast<std::size_t>(j + k / 2) % scroller.size()]);
                attr = 0x0E;
            }
            frame[static_cast<std::size_t>(i * 160 + 2 * j)] = ch;
            frame[static_cast<std::size_t>(i * 160 + 2 * j + 1)] = attr;
        }
    // The ball: 6 x 3 cells bouncing inside the box.
    const int x = 1 + std::abs((k % 144) - 72), y = 1 + std::abs((k % 86) - 43);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 6; ++j) {
            frame[static_cast<std::size_t>((y + i) * 160 + 2 * (x + j))] = 0xDB;
            frame[static_cast<std::size_t>((y + i) * 160 + 2 * (x + j) + 1)] = 0x4C;
        }
    return frame;
}

// Every cell differs from the frame before in character and colours.
inline std::vector<std::uint8_t> every_cell_frame(int k)
{
    std::vector<std::uint8_t> frame(8000);
    for (int i = 0; i < 4000; ++i) {
        frame[static_cast<std::size_t>(2 * i)] = static_cast<std::uint8_t>(1 + (i * 7 + k) % 254);
        frame[static_cast<std::size_t>(2 * i + 1)] = static_cast<std::uint8_t>(i * 13 + k * 17);
    }
    return frame;
}

// Writes `count` frames of `make` as a packed frame file.
inline bool write_demo(const std::string& path, int count,
                       const std::function<std::vector<std::uint8_t>(int)>& make = plasma_frame)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    BlockWriter writer(file_sink(out));
    bool ok = true;
    for (int k = 0; k < count && ok; ++k)
        ok = writer.write(make(k));
    ok = ok && writer.finish();
    return std::fclose(out) == 0 && ok;
}

// Up to `count` frames of a packed frame file; none when it can't be read.
inline std::vector<std::vector<std::uint8_t>> file_frames(const char* path, int count)
{
    std::vector<std::vector<std::uint8_t>> frames;
    std::FILE* in = std::fopen(path, "rb");
    if (in == nullptr)
        return frames;
    std::vector<std::uint8_t> file;
    for (int c; (c = std::fgetc(in)) != EOF;)
        file.push_back(static_cast<std::uint8_t>(c));
    std::fclose(in);
    FileImage = {file.data(), static_cast<std::uint32_t>(file.size()), 0};
    if (PackStream* stream = pack_open(path, "r")) {
        FileImage.read_pos = 1;
        std::vector<std::uint8_t> frame(8000);
        while (static_cast<int>(frames.size()) < count && pack_read(stream, frame.data(), 8000) == 8000)
            frames.push_back(frame);
        pack_release(stream);
        std::free(stream);
    }
    FileImage = {};
    return frames;
}

// `count` frames of `make`.
inline std::vector<std::vector<std::uint8_t>> demo_frames(int count, std::vector<std::uint8_t> (*make)(int))
{
    std::vector<std::vector<std::uint8_t>> frames;
    for (int k = 0; k < count; ++k)
        frames.push_back(make(k));
    return frames;
}

}  // namespace vexl::bench
