// Unpacking the 706-second demo (17650 text frames) frame by frame through
// pack_read, and through the frame reader the player uses around it (the
// block walk first), against plain lzo1x_decompress_safe over the same
// blocks, plus the heap the reading side takes.

#include <lzo/lzo1x.h>
#include <malloc.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "bench/pack/text_frames.h"
#include "player/block_writer.h"
#include "player/frame_reader.h"
#include "player/pack_stream.h"

namespace {

using namespace vexl;

constexpr std::uint32_t demo_frames = 17650;
constexpr std::uint32_t frame_size = 8000;

// The packed demo, made once: in memory for the raw decompressor and the
// FileImage, and on disk because pack_open reads the level byte by name.
struct PackedDemo {
    std::vector<std::uint8_t> bytes;
    std::filesystem::path path;

    PackedDemo()
    {
        BlockWriter writer(
            [this](std::span<const std::uint8_t> b) {
                bytes.insert(bytes.end(), b.begin(), b.end());
                return true;
            },
            pack_default_level);
        std::array<std::uint8_t, frame_size> frame{};
        for (std::uint32_t i = 0; i < demo_frames; ++i) {
            bench::make_text_frame(i, frame);
            writer.write(frame);
        }
        writer.finish();
        path = std::filesystem::temp_directory_path() / "vexl-bench-pack-demo.d1";
        std::FILE* out = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
    ~PackedDemo() { std::filesystem::remove(path); }
};

const PackedDemo& demo()
{
    static const PackedDemo packed;
    return packed;
}

// The file image as the player holds it: one malloc'ed block.
struct LoadedImage {
    LoadedImage()
    {
        const std::vector<std::uint8_t>& bytes = demo().bytes;
        FileImage.data = static_cast<std::uint8_t*>(std::malloc(bytes.size()));
        std::memcpy(FileImage.data, bytes.data(), bytes.size());
        FileImage.size = static_cast<std::uint32_t>(bytes.size());
        FileImage.read_pos = 0;
    }
    ~LoadedImage()
    {
        std::free(FileImage.data);
        FileImage = {};
    }
    LoadedImage(const LoadedImage&) = delete;
    LoadedImage& operator=(const LoadedImage&) = delete;
};

// Opens the stream over the loaded image as the player does and reads every
// frame into `text_frame`. Returns the frames read.
std::uint32_t unpack_with_pack_read(std::uint8_t* text_frame)
{
    FileImage.read_pos = 0;
    PackStream* stream = pack_open(demo().path.c_str(), "r");
    FileImage.read_pos = 1;
    std::uint32_t frames = 0;
    while (pack_read(stream, text_frame, frame_size) == frame_size)
        ++frames;
    pack_release(stream);
    std::free(stream);
    return frames;
}

// As the player reads: the block lengths walked, then every frame through
// the frame reader. Returns the frames read.
std::uint32_t unpack_with_frame_reader(std::uint8_t* text_frame)
{
    FileImage.read_pos = 0;
    PackStream* stream = pack_open(demo().path.c_str(), "r");
    FileImage.read_pos = 1;
    std::uint32_t frames = 0;
    {
        PackBlockWalk walk;
        walk.walk({FileImage.data, FileImage.size}, true);
        FrameReader reader(stream, walk);
        while (reader.read(text_frame, frame_size) == frame_size)
            ++frames;
    }
    pack_release(stream);
    std::free(stream);
    return frames;
}

// The same blocks through the decompressor alone. Returns bytes unpacked.
std::uint64_t unpack_raw(std::vector<std::uint8_t>& out)
{
    const std::vector<std::uint8_t>& file = demo().bytes;
    std::uint64_t total = 0;
    for (std::size_t at = 1; at + 4 <= file.size();) {
        const std::uint32_t length = static_cast<std::uint32_t>(file[at]) << 24 |
                                     static_cast<std::uint32_t>(file[at + 1]) << 16 |
                                     static_cast<std::uint32_t>(file[at + 2]) << 8 | file[at + 3];
        lzo_uint produced = out.size();
        lzo1x_decompress_safe(file.data() + at + 4, length, out.data(), &produced, nullptr);
        benchmark::DoNotOptimize(out.data());
        total += produced;
        at += 4 + length;
    }
    return total;
}

constexpr std::int64_t demo_bytes = std::int64_t{demo_frames} * frame_size;

void BM_PackReadFrames(benchmark::State& state)
{
    const LoadedImage image;
    static std::uint8_t text_frame[frame_size];
    for (auto _ : state) {
        if (unpack_with_pack_read(text_frame) != demo_frames)
            state.SkipWithError("frames missing");
        benchmark::DoNotOptimize(text_frame);
    }
    state.SetBytesProcessed(state.iterations() * demo_bytes);
    state.counters["file_MB"] = static_cast<double>(demo().bytes.size()) / 1e6;
}

void BM_RawDecompress(benchmark::State& state)
{
    demo();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(pack_buffer_size(2 * pack_level_unit)));
    for (auto _ : state) {
        if (unpack_raw(out) != static_cast<std::uint64_t>(demo_bytes))
            state.SkipWithError("bytes missing");
    }
    state.SetBytesProcessed(state.iterations() * demo_bytes);
}

// The three ways alternately in every iteration, so the machine's load hits
// them alike; reports their throughputs and ratios.
void BM_SideBySide(benchmark::State& state)
{
    const LoadedImage image;
    static std::uint8_t text_frame[frame_size];
    std::vector<std::uint8_t> out(static_cast<std::size_t>(pack_buffer_size(2 * pack_level_unit)));
    using clock = std::chrono::steady_clock;
    clock::duration in_pack_read{};
    clock::duration in_raw{};
    clock::duration in_reader{};
    for (auto _ : state) {
        const auto t0 = clock::now();
        unpack_with_pack_read(text_frame);
        const auto t1 = clock::now();
        unpack_raw(out);
        const auto t2 = clock::now();
        if (unpack_with_frame_reader(text_frame) != demo_frames)
            state.SkipWithError("frames missing");
        const auto t3 = clock::now();
        in_pack_read += t1 - t0;
        in_raw += t2 - t1;
        in_reader += t3 - t2;
    }
    const double mb = static_cast<double>(demo_bytes) * static_cast<double>(state.iterations()) / 1e6;
    const double pack_read_mbps = mb / std::chrono::duration<double>(in_pack_read).count();
    const double raw_mbps = mb / std::chrono::duration<double>(in_raw).count();
    state.counters["pack_read_MBps"] = pack_read_mbps;
    state.counters["raw_MBps"] = raw_mbps;
    state.counters["ratio"] = pack_read_mbps / raw_mbps;
    const double reader_mbps = mb / std::chrono::duration<double>(in_reader).count();
    state.counters["reader_MBps"] = reader_mbps;
    state.counters["reader_to_pack_read"] = reader_mbps / pack_read_mbps;
}

std::size_t heap_in_use()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Heap taken to play the demo: the loaded image, the opened stream, and
// anything more while every frame is read. The goal is the file size plus
// the three buffers, and nothing during reading.
void BM_ReadingMemory(benchmark::State& state)
{
    const PackedDemo& d = demo();
    static std::uint8_t text_frame[frame_size];
    std::size_t image_heap = 0;
    std::size_t stream_heap = 0;
    std::size_t growth = 0;
    for (auto _ : state) {
        const std::size_t before = heap_in_use();
        FileImage.data = static_cast<std::uint8_t*>(std::malloc(d.bytes.size()));
        std::memcpy(FileImage.data, d.bytes.data(), d.bytes.size());
        FileImage.size = static_cast<std::uint32_t>(d.bytes.size());
        const std::size_t loaded = heap_in_use();
        PackStream* stream = pack_open(d.path.c_str(), "r");
        FileImage.read_pos = 1;
        const std::size_t opened = heap_in_use();
        std::size_t peak = opened;
        while (pack_read(stream, text_frame, frame_size) == frame_size)
            peak = std::max(peak, heap_in_use());
        pack_release(stream);
        std::free(stream);
        std::free(FileImage.data);
        FileImage = {};
        image_heap = loaded - before;
        stream_heap = opened - loaded;
        growth = peak - opened;
    }
    const auto buffers = 2 * static_cast<std::size_t>(pack_buffer_size(65536)) + pack_work_mem_size;
    state.counters["file_bytes"] = static_cast<double>(d.bytes.size());
    state.counters["image_heap"] = static_cast<double>(image_heap);
    state.counters["buffers_bytes"] = static_cast<double>(buffers);
    state.counters["stream_heap"] = static_cast<double>(stream_heap);
    state.counters["growth_reading"] = static_cast<double>(growth);
}

BENCHMARK(BM_PackReadFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawDecompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SideBySide)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadingMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
