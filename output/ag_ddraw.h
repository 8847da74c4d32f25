#pragma once
// The full-screen screen: shows the text frame as a 640 x 400 picture of
// 8x8 glyphs through the display service's DirectDraw-style steps. A root
// screen of the widget toolkit; the launcher creates it when full-screen
// output was chosen and destroys it through this type (no virtual
// destructor in the toolkit).

#include <cstdint>

#include "platform/display.h"
#include "vuvorazi/ag_screen.h"

namespace vexl {

// The DirectDraw steps of construction that can fail, in order.
enum class ddraw_step : std::int32_t {
    none,  // all done: the display is up
    direct_draw_create,
    set_cooperative_level,
    set_display_mode,
    create_surface,
    get_attached_surface,
};

class ag_ddraw final : public vuvorazi::ag_screen {
public:
    // Opens the window and the display, sized 50 x 80. Stops silently at the
    // first DirectDraw step that fails, keeping what it got so far; such a
    // screen stays unsized and presents nothing.
    ag_ddraw();
    // Releases the surfaces and the device it obtained, then destroys the
    // window.
    ~ag_ddraw();
    ag_ddraw(const ag_ddraw&) = delete;
    ag_ddraw& operator=(const ag_ddraw&) = delete;

    // The cell grid; the picture stays 640 x 400. False for a negative size
    // (nothing changes) or one the grid cannot take.
    bool resize(std::int32_t rows, std::int32_t cols) override;
    // The screen's own update; always true, as for the console screen.
    bool update_region(vuvorazi::ag_raw* child, std::int32_t row, std::int32_t col, std::int32_t nrows,
                       std::int32_t ncols) override;
    // Draws the top-left rows x cols cells of TextFrame (at most 50 x 80)
    // into the back buffer and flips it. False, with nothing drawn or
    // flipped, when the back buffer cannot be locked or was never obtained.
    bool present() override;

    // The step at which construction stopped (none when the display is up)
    // and what that step returned: the launcher's account of why full
    // screen was not available.
    ddraw_step failed_step() const { return failed_step_; }
    platform::DrawResult failed_result() const { return failed_result_; }

private:
    // Construction steps 6 to 10; false at the first that fails.
    bool open_display();

    platform::DirectDraw* ddraw = nullptr;
    platform::DrawSurface* primary = nullptr;
    platform::DrawSurface* back_buffer = nullptr;
    std::int32_t cell_height = 8;      // pixel rows per cell
    std::int32_t cell_width = 8;       // pixel columns per cell
    std::int32_t display_columns = 80;  // cells across the display
    platform::WindowHandle window = nullptr;
    ddraw_step failed_step_ = ddraw_step::none;
    platform::DrawResult failed_result_ = platform::DD_OK;
};

}  // namespace vexl
