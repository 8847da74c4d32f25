#pragma once
// A display that records every call in order, keeps the back buffer's
// pixels for inspection, counts the references it hands out, and fails the
// steps it is told to: the Nth DirectDraw step of construction, or Lock.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/display.h"

namespace vexl::fakes {

class FakeDisplay : public platform::Display {
public:
    // The DirectDraw steps in the order the full-screen screen takes them.
    enum Step {
        no_step = 0,
        step_direct_draw_create,
        step_set_cooperative_level,
        step_set_display_mode,
        step_create_surface,
        step_get_attached_surface,
    };

    FakeDisplay();
    ~FakeDisplay() override;

    // What to fail.
    Step fail_step = no_step;
    bool fail_lock = false;
    std::string detail;  // what failure_detail() says

    // The back buffer's geometry, as Lock reports it.
    int surface_width = 640;
    int surface_height = 400;
    int surface_pitch = 640 * 4;  // bytes

    // Every call, e.g. "SetDisplayMode(640,400,32)" or "Release(primary)=0".
    std::vector<std::string> calls;

    // The back buffer's memory: surface_pitch / 4 pixels per row, rows of
    // the surface's height plus one guard row; filled with `unpainted`
    // when the surface is created.
    static constexpr std::uint32_t unpainted = 0xDEADBEEF;
    std::vector<std::uint32_t> back_pixels;
    std::uint32_t pixel(int x, int y) const;

    // State seen from outside.
    platform::WindowHandle window() const;
    bool window_destroyed() const { return window_destroyed_; }
    void* window_user_data() const { return user_data_; }
    int cursor_count() const { return cursor_count_; }
    // References handed out and not yet released, over all objects.
    int live_references() const;
    // A call on an object whose references were all released, or a
    // release too many.
    bool misuse() const { return misuse_; }

    platform::WindowHandle create_window(int x, int y, int width, int height) override;
    int show_cursor(bool show) override;
    void set_window_user_data(platform::WindowHandle window, void* data) override;
    void show_window(platform::WindowHandle window) override;
    void update_window(platform::WindowHandle window) override;
    void invalidate_window(platform::WindowHandle window) override;
    bool destroy_window(platform::WindowHandle window) override;
    platform::DrawResult direct_draw_create(platform::DirectDraw*& out) override;
    std::string failure_detail() const override { return detail; }

    // For the fake's own objects.
    struct Object;
    class Device;
    class Surface;
    bool fails(Step step) const { return fail_step == step; }
    void record(std::string call) { calls.push_back(std::move(call)); }
    void note_misuse() { misuse_ = true; }
    Surface* make_surface(const char* name);

private:
    std::unique_ptr<platform::Window> window_;
    bool window_destroyed_ = false;
    void* user_data_ = nullptr;
    int cursor_count_ = 0;
    bool misuse_ = false;
    // Objects stay allocated until the fake goes, so a use after the last
    // release is noted rather than a crash.
    std::vector<std::unique_ptr<Object>> objects_;
};

// printf into a std::string, for the call records.
std::string call_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vexl::fakes
