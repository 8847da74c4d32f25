#include "output/ag_ddraw.h"

#include "core/process_records.h"
#include "output/glyph_raster.h"

namespace vexl {

using namespace vexl::platform;

namespace {

constexpr int display_width = 640;
constexpr int display_height = 400;
constexpr int display_bits = 32;

}  // namespace

ag_ddraw::ag_ddraw()
{
    lock();
    ddraw = nullptr;
    primary = nullptr;
    back_buffer = nullptr;
    cell_height = 8;
    cell_width = 8;
    display_columns = display_width / cell_width;

    // The window steps: their results are not checked; without a display
    // the first DirectDraw step fails instead.
    Display& shown = display();
    window = shown.create_window(0, 0, cell_width * frame_cols, cell_height * frame_rows);
    shown.show_cursor(false);
    shown.set_window_user_data(window, this);
    MainWindow = window;
    shown.show_window(window);
    shown.update_window(window);
    shown.invalidate_window(window);

    if (open_display())
        resize(display_height / cell_height, display_width / cell_width);
    unlock();
}

bool ag_ddraw::open_display()
{
    // A failing step may leave anything in its out parameter; keep null so
    // that only what was really obtained is ever released.
    auto failed = [this](ddraw_step step, DrawResult result) {
        if (!draw_failed(result))
            return false;
        failed_step_ = step;
        failed_result_ = result;
        return true;
    };
    if (failed(ddraw_step::direct_draw_create, display().direct_draw_create(ddraw))) {
        ddraw = nullptr;
        return false;
    }
    if (failed(ddraw_step::set_cooperative_level,
               ddraw->set_cooperative_level(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)))
        return false;
    if (failed(ddraw_step::set_display_mode,
               ddraw->set_display_mode(display_width, display_height, display_bits)))
        return false;
    SurfaceDesc desc;
    desc.flags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.back_buffer_count = 1;
    desc.caps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    if (failed(ddraw_step::create_surface, ddraw->create_surface(desc, primary))) {
        primary = nullptr;
        return false;
    }
    if (failed(ddraw_step::get_attached_surface,
               primary->get_attached_surface(DDSCAPS_BACKBUFFER, back_buffer))) {
        back_buffer = nullptr;
        return false;
    }
    return true;
}

ag_ddraw::~ag_ddraw()
{
    lock();
    if (back_buffer != nullptr)
        back_buffer->release();
    if (primary != nullptr)
        primary->release();
    if (ddraw != nullptr)
        ddraw->release();
    back_buffer = nullptr;
    primary = nullptr;
    ddraw = nullptr;
    display().destroy_window(window);
    // Nobody may own a dialog by a window that is gone.
    if (MainWindow == window)
        MainWindow = nullptr;
    window = nullptr;
    unlock();
}

bool ag_ddraw::resize(std::int32_t new_rows, std::int32_t new_cols)
{
    lock();
    if (new_rows < 0 || new_cols < 0) {
        unlock();
        return false;
    }
    // Reported, not hidden: the grid refuses a size it cannot hold.
    const bool resized = ag_screen::resize(new_rows, new_cols);
    unlock();
    return resized;
}

bool ag_ddraw::update_region(vuvorazi::ag_raw* child, std::int32_t row, std::int32_t col,
                             std::int32_t nrows, std::int32_t ncols)
{
    lock();
    ag_screen::update_region(child, row, col, nrows, ncols);
    unlock();
    return true;
}

bool ag_ddraw::present()
{
    lock();
    // A screen whose construction stopped early has no back buffer to draw.
    if (back_buffer == nullptr || primary == nullptr) {
        unlock();
        return false;
    }
    SurfaceDesc desc;
    desc.flags = DDSD_LPSURFACE;
    if (draw_failed(back_buffer->lock(desc, DDLOCK_WAIT))) {
        unlock();
        return false;
    }
    // Rows follow the pitch Lock reports, and the area is clipped to the
    // frame and to the locked surface.
    draw_text_frame(TextFrame, rows, cols, PixelSurface{desc.surface, desc.pitch, desc.width, desc.height});
    back_buffer->unlock();
    primary->flip(nullptr, DDFLIP_WAIT);
    unlock();
    return true;
}

}  // namespace vexl
