#include "tools/demo/fixed_math.h"

#include <cstdlib>

namespace vexl::demo {
namespace {

// atan(r / 256) for r in 0..256, as a 12-bit angle in units of 1/16 step
// (so 0..8192 covers the first eighth of a turn). Found by bisection on the
// sine table, so it needs no floating point at all.
constexpr int atan_steps = 256;

constexpr std::array<int, atan_steps + 1> make_atan_table()
{
    std::array<int, atan_steps + 1> table{};
    for (int r = 0; r <= atan_steps; ++r) {
        // Smallest angle a (in 1/16 steps) with tan(a) >= r/256, i.e.
        // sin(a) * 256 >= r * cos(a), interpolating the sine table.
        int lo = 0;
        int hi = (angle_steps / 8) * 16;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            const int whole = mid >> 4;
            const int frac = mid & 15;
            const long long s = sin_q14(whole) * 16LL + (sin_q14(whole + 1) - sin_q14(whole)) * frac;
            const long long c = cos_q14(whole) * 16LL + (cos_q14(whole + 1) - cos_q14(whole)) * frac;
            if (s * atan_steps >= c * r)
                hi = mid;
            else
                lo = mid + 1;
        }
        table[static_cast<std::size_t>(r)] = lo;
    }
    return table;
}

constexpr std::array<int, atan_steps + 1> atan_table = make_atan_table();

}  // namespace

int atan2_angle(int y, int x)
{
    if (x == 0 && y == 0)
        return 0;
    const long long ax = std::llabs(x);
    const long long ay = std::llabs(y);
    const bool steep = ay > ax;
    const long long num = steep ? ax : ay;
    const long long den = steep ? ay : ax;
    // Ratio in 0..1 as 8.8 fixed point, interpolated in the table.
    const long long ratio_q16 = (num << 16) / den;  // 0..65536
    const int index = static_cast<int>(ratio_q16 >> 8);
    const int frac = static_cast<int>(ratio_q16 & 255);
    int a16 = atan_table[static_cast<std::size_t>(index)];
    if (index < atan_steps)
        a16 += ((atan_table[static_cast<std::size_t>(index + 1)] - a16) * frac) >> 8;
    int a = (a16 + 8) >> 4;  // 0..512
    if (steep)
        a = quarter_turn - a;
    if (x < 0)
        a = 2 * quarter_turn - a;
    if (y < 0)
        a = angle_steps - a;
    return a & angle_mask;
}

int value_noise(int x_q8, int y_q8, std::uint32_t seed)
{
    const int xi = x_q8 >> 8;
    const int yi = y_q8 >> 8;
    int fx = x_q8 & 255;
    int fy = y_q8 & 255;
    // Smoothstep the fractions so the lattice does not show.
    fx = (fx * fx * (768 - 2 * fx)) >> 16;
    fy = (fy * fy * (768 - 2 * fy)) >> 16;
    const int v00 = static_cast<int>(hash2(xi, yi, seed) & 255);
    const int v10 = static_cast<int>(hash2(xi + 1, yi, seed) & 255);
    const int v01 = static_cast<int>(hash2(xi, yi + 1, seed) & 255);
    const int v11 = static_cast<int>(hash2(xi + 1, yi + 1, seed) & 255);
    const int top = mix(v00, v10, fx);
    const int bottom = mix(v01, v11, fx);
    return mix(top, bottom, fy);
}

}  // namespace vexl::demo
