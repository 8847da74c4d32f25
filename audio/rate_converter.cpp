#include "audio/rate_converter.h"

#include <algorithm>

namespace vexl::platform {

LinearRateConverter::LinearRateConverter(int from_rate, int to_rate) : from_(from_rate), to_(to_rate) {}

void LinearRateConverter::put(const std::int16_t* samples, int count)
{
    const int skipped = static_cast<int>(std::min<std::int64_t>(skip_, std::max(0, count)));
    skip_ -= skipped;
    input_.insert(input_.end(), samples + skipped, samples + std::max(0, count));
    convert();
}

void LinearRateConverter::convert()
{
    // Each output sample lies phase_ / to_ of the way from input_[0] to
    // input_[1]; it needs both.
    std::size_t base = 0;
    while (base + 1 < input_.size()) {
        const std::int64_t a = input_[base];
        const std::int64_t b = input_[base + 1];
        output_.push_back(static_cast<std::int16_t>(a + (b - a) * phase_ / to_));
        phase_ += from_;
        base += static_cast<std::size_t>(phase_ / to_);
        phase_ %= to_;
    }
    // Going down by more than a factor of two may step past what is there.
    const std::size_t passed = std::min(base, input_.size());
    skip_ += static_cast<std::int64_t>(base - passed);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(passed));
}

int LinearRateConverter::available() const
{
    return static_cast<int>(output_.size() - output_pos_);
}

int LinearRateConverter::get(std::int16_t* out, int count)
{
    const int n = std::clamp(count, 0, available());
    std::copy_n(output_.begin() + static_cast<std::ptrdiff_t>(output_pos_), n, out);
    output_pos_ += static_cast<std::size_t>(n);
    if (output_pos_ == output_.size()) {
        output_.clear();
        output_pos_ = 0;
    }
    return n;
}

std::unique_ptr<RateConverter> make_linear_converter(int from_rate, int to_rate)
{
    if (from_rate <= 0 || to_rate <= 0)
        return nullptr;
    return std::make_unique<LinearRateConverter>(from_rate, to_rate);
}

}  // namespace vexl::platform
