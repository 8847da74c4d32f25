#include "vuvorazi/ag_screen.h"

#include <new>

#include "vuvorazi/ag_region.h"

namespace vuvorazi {

ag_screen::ag_screen() = default;

ag_screen::~ag_screen()
{
    ag_lock_guard guard(*this);
    queues.reset();
}

bool ag_screen::resize(std::int32_t new_rows, std::int32_t new_cols)
{
    ag_lock_guard guard(*this);
    if (new_rows < 0 || new_cols < 0)
        return false;
    const std::int64_t count = std::int64_t{new_rows} * new_cols;
    if (count > max_grid_cells)
        return false;

    // Both new arrays exist before either old one goes, so running out of
    // memory leaves the screen as it was; and the grid and the queues
    // always match when layout lets children report regions.
    std::unique_ptr<ag_cellqueue[]> fresh;
    if (count > 0) {
        try {
            fresh.reset(new ag_cellqueue[static_cast<std::size_t>(count)]);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    if (!ag_raw::resize(new_rows, new_cols))
        return false;
    queues = std::move(fresh);  // the old queues go in reverse index order
    layout();
    return true;
}

bool ag_screen::update_region(ag_raw* child, std::int32_t row, std::int32_t col,
                              std::int32_t nrows, std::int32_t ncols)
{
    ag_lock_guard guard(*this);
    const bool passed_up = ag_box::update_region(child, row, col, nrows, ncols);
    const ag_child* entry = find_child(child);
    if (entry == nullptr)
        return false;
    const ag_region region = clip_region({row, col, nrows, ncols}, entry->rows, entry->cols);
    const ag_region target = clip_region(
        {entry->row + region.row, entry->col + region.col, region.nrows, region.ncols}, rows, cols);
    if (target.empty() || !queues)
        return passed_up;

    bool all_queued = true;
    for (std::int32_t i = target.row; i < target.row + target.nrows; ++i) {
        for (std::int32_t j = target.col; j < target.col + target.ncols; ++j) {
            const auto k = static_cast<std::size_t>(i * cols + j);
            all_queued = queues[k].push_if_changed(cells[k]) && all_queued;
        }
    }
    return passed_up && all_queued;
}

bool ag_screen::present()
{
    ag_lock_guard guard(*this);
    return true;
}

ag_cellqueue* ag_screen::queue_at(std::int32_t row, std::int32_t col)
{
    ag_lock_guard guard(*this);
    if (!queues || row < 0 || col < 0 || row >= rows || col >= cols)
        return nullptr;
    return &queues[static_cast<std::size_t>(row * cols + col)];
}

}  // namespace vuvorazi
