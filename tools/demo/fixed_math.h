#pragma once
// Integer maths for the demo's effects. Every frame must come out byte for
// byte the same on every machine, so nothing here calls libm at run time:
// the sine table is computed by the compiler, roots and angles are integer
// algorithms, and randomness is a fixed hash of its inputs.

#include <array>
#include <cstdint>

namespace vexl::demo {

// Angles are 12-bit turns: 4096 steps make a full circle.
inline constexpr int angle_steps = 4096;
inline constexpr int angle_mask = angle_steps - 1;
inline constexpr int quarter_turn = angle_steps / 4;

// Sines are fixed point with 14 fractional bits: 1.0 is 16384.
inline constexpr int unit_shift = 14;
inline constexpr int unit = 1 << unit_shift;

namespace detail {

// sin(x) for x in [0, pi/2] by its Taylor series; evaluated only at compile
// time, where the compiler's double arithmetic is exact IEEE.
constexpr double taylor_sine(double x)
{
    double term = x;
    double sum = x;
    for (int n = 1; n < 16; ++n) {
        term *= -x * x / ((2.0 * n) * (2.0 * n + 1.0));
        sum += term;
    }
    return sum;
}

constexpr std::array<std::int16_t, angle_steps> make_sine_table()
{
    constexpr double pi = 3.14159265358979323846;
    std::array<std::int16_t, angle_steps> table{};
    for (int i = 0; i <= quarter_turn; ++i) {
        const double v = taylor_sine(pi / 2.0 * i / quarter_turn) * unit + 0.5;
        const auto q = static_cast<std::int16_t>(v);
        // Build the other quarters by symmetry so the wave is exact.
        table[static_cast<std::size_t>(i)] = q;
        table[static_cast<std::size_t>((2 * quarter_turn - i) & angle_mask)] = q;
        table[static_cast<std::size_t>((2 * quarter_turn + i) & angle_mask)] = static_cast<std::int16_t>(-q);
        table[static_cast<std::size_t>((4 * quarter_turn - i) & angle_mask)] = static_cast<std::int16_t>(-q);
    }
    table[0] = 0;
    table[2 * quarter_turn] = 0;
    return table;
}

inline constexpr std::array<std::int16_t, angle_steps> sine_table = make_sine_table();

}  // namespace detail

// sin and cos of a 12-bit angle (any integer; it wraps), as Q14.
constexpr int sin_q14(int angle) { return detail::sine_table[static_cast<std::size_t>(angle & angle_mask)]; }
constexpr int cos_q14(int angle) { return sin_q14(angle + quarter_turn); }

// Scales `amplitude` by the sine of `angle`: amplitude * sin(angle).
constexpr int sin_scaled(int angle, int amplitude)
{
    return static_cast<int>((static_cast<std::int64_t>(sin_q14(angle)) * amplitude) >> unit_shift);
}
constexpr int cos_scaled(int angle, int amplitude) { return sin_scaled(angle + quarter_turn, amplitude); }

// Floor of the square root.
constexpr std::uint32_t isqrt(std::uint64_t v)
{
    std::uint64_t root = 0;
    std::uint64_t bit = std::uint64_t{1} << 62;
    while (bit > v)
        bit >>= 2;
    while (bit != 0) {
        if (v >= root + bit) {
            v -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
        bit >>= 2;
    }
    return static_cast<std::uint32_t>(root);
}

// The 12-bit angle of the vector (x, y), 0 along +x, a quarter turn at +y.
int atan2_angle(int y, int x);

// Linear blend of a and b by t in 0..256.
constexpr int mix(int a, int b, int t) { return a + (((b - a) * t) >> 8); }

constexpr int clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// A well-mixed 32-bit hash (for noise, dissolves, star positions).
constexpr std::uint32_t hash32(std::uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

constexpr std::uint32_t hash2(int x, int y, std::uint32_t seed = 0)
{
    return hash32(static_cast<std::uint32_t>(x) * 0x9E3779B1U ^ hash32(static_cast<std::uint32_t>(y) + seed));
}

// Smooth value noise on an integer lattice. Coordinates are 8.8 fixed point;
// the result is 0..255.
int value_noise(int x_q8, int y_q8, std::uint32_t seed);

// A deterministic random sequence (xorshift), for effects that keep state.
class Random {
public:
    explicit constexpr Random(std::uint32_t seed) : state_(hash32(seed) | 1u) {}
    constexpr std::uint32_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // Uniform in [0, n).
    constexpr int below(int n) { return static_cast<int>((static_cast<std::uint64_t>(next()) * static_cast<std::uint32_t>(n)) >> 32); }

private:
    std::uint32_t state_;
};

}  // namespace vexl::demo
