#include "vuvorazi/ag_raw.h"

#include <new>
#include <vector>

#include "vuvorazi/ag_box.h"
#include "vuvorazi/ag_check.h"
#include "vuvorazi/ag_region.h"

namespace vuvorazi {

std::atomic<std::uint64_t> widget_id_counter{0};

ag_raw::ag_raw() : id(widget_id_counter.fetch_add(1) + 1)
{
    ag_lock_guard guard(*this);
}

ag_raw::~ag_raw()
{
    lock();
    cells.reset();
    // Detaching moves this widget out of the tree whose lock we hold, so
    // the release has to go through the old parent.
    ag_box* const holder = parent;
    if (holder != nullptr) {
        holder->remove_child(this);
        parent = nullptr;
        holder->unlock();
    } else {
        unlock();
    }
}

void ag_raw::lock() const
{
    if (parent != nullptr) {
        if (lock_count > 0)
            check_failed(ag_check::child_counts_before_parent_lock);
        parent->lock();
        if (lock_count > 0)
            check_failed(ag_check::child_counts_after_parent_lock);
        return;
    }
    lock_section.lock();
    if (parent != nullptr)
        check_failed(ag_check::root_gained_parent);
    ++lock_count;
}

void ag_raw::unlock() const
{
    // Only a lock this thread holds can be released: looking at the
    // counts of a lock held elsewhere would be a race and releasing it
    // undefined.
    const ag_raw* holder = this;
    while (holder != nullptr
           && !(holder->lock_section.held_by_this_thread() && holder->lock_count > 0))
        holder = holder->parent;
    if (holder == nullptr) {
        check_failed(ag_check::release_without_take);
        return;
    }
    --holder->lock_count;
    if (holder->parent != nullptr)
        check_failed(ag_check::holder_has_parent);
    holder->lock_section.unlock();
}

ag_child* ag_raw::find_child(const ag_raw* /*widget*/)
{
    return nullptr;
}

bool ag_raw::resize(std::int32_t new_rows, std::int32_t new_cols)
{
    ag_lock_guard guard(*this);
    if (new_rows < 0 || new_cols < 0)
        return false;
    const std::int64_t count = std::int64_t{new_rows} * new_cols;
    if (count > max_grid_cells)
        return false;
    std::unique_ptr<ag_cell[]> grid;
    if (count > 0) {
        // The old grid stays until the new one exists, so a failed
        // allocation leaves the widget exactly as it was.
        grid.reset(new (std::nothrow) ag_cell[static_cast<std::size_t>(count)]());
        if (!grid)
            return false;
    }
    rows = new_rows;
    cols = new_cols;
    cells = std::move(grid);
    return true;
}

bool ag_raw::has_focus()
{
    ag_lock_guard guard(*this);
    return focusable && focused;
}

bool ag_raw::take_focus()
{
    ag_lock_guard guard(*this);
    if (!focusable)
        return false;
    if (parent != nullptr)
        parent->clear_tree_focus();
    focused = true;
    return true;
}

void ag_raw::clear_tree_focus()
{
    ag_lock_guard guard(*this);
    if (parent != nullptr)
        parent->clear_tree_focus();
    else
        clear_focus();
}

void ag_raw::clear_focus()
{
    ag_lock_guard guard(*this);
    for (ag_child* entry = first_child; entry != nullptr; entry = entry->next)
        entry->child->clear_focus();
    focused = false;
}

bool ag_raw::key(std::uint32_t code)
{
    ag_lock_guard guard(*this);
    if (key_handler != nullptr && key_handler->key(code))
        return true;
    // A handler may detach or destroy children while it runs, so walk a
    // snapshot of ids and look each entry up again before using it.
    std::vector<std::uint64_t> child_ids;
    for (const ag_child* entry = first_child; entry != nullptr; entry = entry->next)
        child_ids.push_back(entry->child->id);
    for (const std::uint64_t child_id : child_ids) {
        ag_child* entry = entry_with_id(child_id);
        if (entry != nullptr && entry->child->has_focus() && entry->child->key(code))
            return true;
    }
    return false;
}

void ag_raw::set_focusable(bool value)
{
    ag_lock_guard guard(*this);
    focusable = value;
}

void ag_raw::set_key_handler(ag_keyhandler* handler)
{
    ag_lock_guard guard(*this);
    key_handler = handler;
}

void ag_raw::set_fixed(bool value)
{
    ag_lock_guard guard(*this);
    fixed = value;
    relayout_parent();
}

bool ag_raw::set_fixed_rows(std::int32_t value)
{
    if (value < 0)
        return false;
    ag_lock_guard guard(*this);
    fixed_rows = value;
    relayout_parent();
    return true;
}

bool ag_raw::set_fixed_cols(std::int32_t value)
{
    if (value < 0)
        return false;
    ag_lock_guard guard(*this);
    fixed_cols = value;
    relayout_parent();
    return true;
}

void ag_raw::relayout_parent()
{
    if (parent != nullptr)
        parent->layout();
}

bool ag_raw::write_cells(std::int32_t row, std::int32_t col, std::int32_t nrows,
                         std::int32_t ncols, const ag_cell* source)
{
    if (source == nullptr || nrows < 1 || ncols < 1)
        return false;
    ag_lock_guard guard(*this);
    const ag_region inside = clip_region({row, col, nrows, ncols}, rows, cols);
    if (inside.empty() || !cells)
        return false;
    for (std::int32_t i = 0; i < inside.nrows; ++i) {
        const std::int64_t source_row = std::int64_t{inside.row} - row + i;
        const std::int64_t source_col = std::int64_t{inside.col} - col;
        const ag_cell* from = source + source_row * ncols + source_col;
        ag_cell* to = &cells[static_cast<std::size_t>((inside.row + i) * cols + inside.col)];
        std::copy(from, from + inside.ncols, to);
    }
    return report_region(inside.row, inside.col, inside.nrows, inside.ncols);
}

bool ag_raw::report_region(std::int32_t row, std::int32_t col, std::int32_t nrows,
                           std::int32_t ncols)
{
    ag_lock_guard guard(*this);
    if (parent == nullptr)
        return true;
    return parent->update_region(this, row, col, nrows, ncols);
}

std::int32_t ag_raw::get_rows() const
{
    ag_lock_guard guard(*this);
    return rows;
}

std::int32_t ag_raw::get_cols() const
{
    ag_lock_guard guard(*this);
    return cols;
}

std::optional<ag_cell> ag_raw::cell_at(std::int32_t row, std::int32_t col) const
{
    ag_lock_guard guard(*this);
    if (!cells || row < 0 || col < 0 || row >= rows || col >= cols)
        return std::nullopt;
    return cells[static_cast<std::size_t>(row * cols + col)];
}

bool ag_raw::has_grid() const
{
    ag_lock_guard guard(*this);
    return cells != nullptr;
}

ag_box* ag_raw::get_parent() const
{
    ag_lock_guard guard(*this);
    return parent;
}

std::int32_t ag_raw::get_lock_count() const
{
    // Taking the lock to read its own depth would change it; the depth is
    // only ever non-zero for the thread holding the section.
    return lock_section.held_by_this_thread() ? lock_count : 0;
}

bool ag_raw::is_fixed() const
{
    ag_lock_guard guard(*this);
    return fixed;
}

std::int32_t ag_raw::get_fixed_rows() const
{
    ag_lock_guard guard(*this);
    return fixed_rows;
}

std::int32_t ag_raw::get_fixed_cols() const
{
    ag_lock_guard guard(*this);
    return fixed_cols;
}

bool ag_raw::is_focused() const
{
    ag_lock_guard guard(*this);
    return focused;
}

ag_keyhandler* ag_raw::get_key_handler() const
{
    ag_lock_guard guard(*this);
    return key_handler;
}

ag_child* ag_raw::entry_with_id(std::uint64_t child_id) const
{
    for (ag_child* entry = first_child; entry != nullptr; entry = entry->next) {
        if (entry->child->id == child_id)
            return entry;
    }
    return nullptr;
}

}  // namespace vuvorazi
