#pragma once
// Sample-rate conversion of a mono signed 16-bit stream, fed and drained in
// pieces of any size: what the audio engine needs when a stream's rate is
// not its output's.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vexl::platform {

class RateConverter {
public:
    virtual ~RateConverter() = default;
    virtual void put(const std::int16_t* samples, int count) = 0;
    // Converted samples ready to be taken.
    virtual int available() const = 0;
    // Takes up to `count` samples; returns how many.
    virtual int get(std::int16_t* out, int count) = 0;
};

// Makes a converter from one rate to another; null when it can't.
using RateConverterMaker = std::function<std::unique_ptr<RateConverter>(int from_rate, int to_rate)>;

// Linear interpolation between neighbouring samples: the classic stream
// player's mixer, needing nothing of the system.
class LinearRateConverter final : public RateConverter {
public:
    LinearRateConverter(int from_rate, int to_rate);
    void put(const std::int16_t* samples, int count) override;
    int available() const override;
    int get(std::int16_t* out, int count) override;

private:
    void convert();

    const std::int64_t from_;
    const std::int64_t to_;
    std::vector<std::int16_t> input_;  // not yet passed, from the sample before the position on
    std::int64_t phase_ = 0;           // position past input_[0], in 1/to_ of an input sample
    std::int64_t skip_ = 0;            // input samples stepped over before they came
    std::vector<std::int16_t> output_;
    std::size_t output_pos_ = 0;
};

std::unique_ptr<RateConverter> make_linear_converter(int from_rate, int to_rate);

}  // namespace vexl::platform
