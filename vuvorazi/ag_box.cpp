#include "vuvorazi/ag_box.h"

#include <algorithm>
#include <new>

#include "vuvorazi/ag_check.h"
#include "vuvorazi/ag_region.h"

namespace vuvorazi {

// What distinguishes the vertical layout from the horizontal one.
struct ag_box::axis {
    std::int32_t ag_child::*offset;        // row or col
    std::int32_t ag_child::*extent;        // rows or cols
    std::int32_t ag_child::*cross_offset;  // the other axis, set to the full extent
    std::int32_t ag_child::*cross_extent;
    std::int32_t ag_raw::*fixed_extent;    // the child's fixed_rows or fixed_cols
    std::int32_t ag_raw::*size;            // the container's rows or cols
    std::int32_t ag_raw::*cross_size;
    ag_check negative_extent;
};

namespace {

std::int32_t saturate(std::int64_t value)
{
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, INT32_MAX));
}

}  // namespace

ag_box::ag_box()
{
    ag_lock_guard guard(*this);
    orientation = orient_none;
    first_child = nullptr;
    last_child = nullptr;
}

ag_box::~ag_box()
{
    ag_lock_guard guard(*this);
    while (first_child != nullptr)
        remove_child(first_child->child);
}

ag_child* ag_box::find_child(const ag_raw* widget)
{
    if (widget == nullptr)
        return nullptr;
    ag_lock_guard guard(*this);
    return entry_with_id(widget->id);
}

bool ag_box::resize(std::int32_t new_rows, std::int32_t new_cols)
{
    ag_lock_guard guard(*this);
    const bool resized = ag_raw::resize(new_rows, new_cols);
    layout();
    return resized;
}

bool ag_box::take_focus()
{
    ag_lock_guard guard(*this);
    if (!focusable)
        return false;
    for (ag_child* entry = first_child; entry != nullptr; entry = entry->next) {
        if (entry->child->is_focusable() && entry->child->take_focus())
            return true;
    }
    return false;
}

bool ag_box::update_region(ag_raw* child, std::int32_t row, std::int32_t col,
                           std::int32_t nrows, std::int32_t ncols)
{
    ag_lock_guard guard(*this);
    const ag_child* entry = find_child(child);
    if (entry == nullptr)
        return false;
    const ag_region region = clip_region({row, col, nrows, ncols}, entry->rows, entry->cols);

    // The placement and the two grids normally agree; copying only what
    // lies inside both grids keeps a stale placement (a failed resize, a
    // layout still on its way up the tree) from reaching outside either.
    const ag_region readable = clip_region(region, child->rows, child->cols);
    const ag_region target = clip_region(
        {entry->row + readable.row, entry->col + readable.col, readable.nrows, readable.ncols},
        rows, cols);
    if (!target.empty() && cells && child->cells) {
        for (std::int32_t i = 0; i < target.nrows; ++i) {
            const std::int32_t child_row = target.row - entry->row + i;
            const std::int32_t child_col = target.col - entry->col;
            const ag_cell* from =
                &child->cells[static_cast<std::size_t>(child_row * child->cols + child_col)];
            std::copy(from, from + target.ncols,
                      &cells[static_cast<std::size_t>((target.row + i) * cols + target.col)]);
        }
    }

    // The change has been taken here whatever the parent makes of it.
    if (parent != nullptr)
        parent->update_region(this, entry->row + region.row, entry->col + region.col,
                              region.nrows, region.ncols);
    return true;
}

bool ag_box::layout()
{
    ag_lock_guard guard(*this);

    // The fixed description is derived from the children: fixed exactly
    // when there is at least one child and every child is fixed, with the
    // extent along the axis the sum of theirs.
    bool all_fixed = first_child != nullptr;
    std::int64_t sum_rows = 0;
    std::int64_t sum_cols = 0;
    for (const ag_child* entry = first_child; entry != nullptr; entry = entry->next) {
        all_fixed = all_fixed && entry->child->fixed;
        sum_rows += entry->child->fixed_rows;
        sum_cols += entry->child->fixed_cols;
    }
    const std::int32_t derived_rows = all_fixed && orientation == orient_vertical ? saturate(sum_rows) : 0;
    const std::int32_t derived_cols = all_fixed && orientation == orient_horizontal ? saturate(sum_cols) : 0;
    // A change of a fixed child's extent or of the orientation changes the
    // description just as the flag does.
    const bool changed = all_fixed != fixed
                         || (all_fixed && (derived_rows != fixed_rows || derived_cols != fixed_cols));
    if (changed) {
        fixed = all_fixed;
        fixed_rows = derived_rows;
        fixed_cols = derived_cols;
        // The parent's layout resizes this container, which places the
        // children then. A root has nobody to do that, so it goes on.
        if (parent != nullptr) {
            parent->layout();
            return true;
        }
    }

    static constexpr axis vertical{&ag_child::row, &ag_child::rows, &ag_child::col, &ag_child::cols,
                                   &ag_raw::fixed_rows, &ag_raw::rows, &ag_raw::cols,
                                   ag_check::negative_rows};
    static constexpr axis horizontal{&ag_child::col, &ag_child::cols, &ag_child::row, &ag_child::rows,
                                     &ag_raw::fixed_cols, &ag_raw::cols, &ag_raw::rows,
                                     ag_check::negative_cols};
    if (orientation == orient_vertical)
        place_along(vertical);
    else if (orientation == orient_horizontal)
        place_along(horizontal);

    for (ag_child* entry = first_child; entry != nullptr; entry = entry->next)
        entry->child->resize(entry->rows, entry->cols);
    return true;
}

void ag_box::place_along(const axis& along)
{
    // Weights and the free space are summed in 64 bits: weight x free
    // space overflows 32 bits long before either does.
    std::int64_t weight_sum = 0;
    for (const ag_child* entry = first_child; entry != nullptr; entry = entry->next) {
        if (!entry->child->fixed)
            weight_sum += entry->weight;
    }

    // Fixed children take their space first, wherever they stand; the
    // first that does not fit gets what is left.
    std::int64_t free_space = this->*along.size;
    for (ag_child* entry = first_child; entry != nullptr; entry = entry->next) {
        if (!entry->child->fixed)
            continue;
        const std::int32_t wanted = entry->child->*along.fixed_extent;
        if (free_space - wanted < 0) {
            entry->*along.extent = static_cast<std::int32_t>(free_space);
            free_space = 0;
        } else {
            entry->*along.extent = wanted;
            free_space -= wanted;
        }
    }

    // Each flexible child takes its weight's share of what is still free,
    // so the last one receives the rest and rounding losses fall late.
    std::int64_t offset = 0;
    for (ag_child* entry = first_child; entry != nullptr; entry = entry->next) {
        entry->*along.cross_offset = 0;
        entry->*along.cross_extent = this->*along.cross_size;
        if (!entry->child->fixed) {
            // Weight 0 for all the rest leaves them no share at all.
            const std::int64_t share = weight_sum > 0 ? entry->weight * free_space / weight_sum : 0;
            entry->*along.extent = static_cast<std::int32_t>(share);
            weight_sum -= entry->weight;
            free_space -= share;
        }
        entry->*along.offset = saturate(offset);
        offset += entry->*along.extent;
        if (entry->*along.extent < 0)
            check_failed(along.negative_extent);
    }
}

bool ag_box::remove_child(const ag_raw* widget)
{
    ag_lock_guard guard(*this);
    ag_child* entry = find_child(widget);
    if (entry == nullptr)
        return false;
    (entry->prev != nullptr ? entry->prev->next : first_child) = entry->next;
    (entry->next != nullptr ? entry->next->prev : last_child) = entry->prev;
    entry->child->parent = nullptr;
    delete entry;
    layout();
    return true;
}

bool ag_box::add_child(ag_raw* widget, std::int32_t position, std::int32_t weight,
                       const ag_placement& placement)
{
    const bool placement_fits = placement.row >= 0 && placement.col >= 0 && placement.rows >= 0
                                && placement.cols >= 0
                                && std::int64_t{placement.row} + placement.rows <= INT32_MAX
                                && std::int64_t{placement.col} + placement.cols <= INT32_MAX;
    if (widget == nullptr || weight < 0 || !placement_fits)
        return false;
    ag_lock_guard guard(*this);
    // A widget can't go inside itself or inside its own subtree.
    for (const ag_raw* ancestor = this; ancestor != nullptr; ancestor = ancestor->parent) {
        if (ancestor == widget)
            return false;
    }

    // The widget's own section must be free: a hold by another thread means
    // its tree is in use there (and waiting for it while holding ours could
    // deadlock), a count found after taking it is this thread's own hold.
    if (!widget->lock_section.try_lock())
        return false;
    const bool free_to_attach = widget->parent == nullptr && widget->lock_count == 0;
    auto* entry = free_to_attach ? new (std::nothrow) ag_child : nullptr;
    if (entry == nullptr) {
        widget->lock_section.unlock();
        return false;
    }
    entry->child = widget;
    entry->row = placement.row;
    entry->col = placement.col;
    entry->rows = placement.rows;
    entry->cols = placement.cols;
    entry->weight = weight;

    ag_child* before = first_child;
    for (std::int32_t i = 0; before != nullptr && (position < 0 || i < position); ++i)
        before = before->next;
    entry->next = before;
    entry->prev = before != nullptr ? before->prev : last_child;
    (entry->prev != nullptr ? entry->prev->next : first_child) = entry;
    (before != nullptr ? before->prev : last_child) = entry;
    widget->parent = this;
    widget->lock_section.unlock();

    layout();
    return true;
}

bool ag_box::set_orientation(std::int32_t value)
{
    if (value != orient_none && value != orient_vertical && value != orient_horizontal)
        return false;
    ag_lock_guard guard(*this);
    orientation = value;
    layout();
    return true;
}

std::int32_t ag_box::get_orientation() const
{
    ag_lock_guard guard(*this);
    return orientation;
}

std::int32_t ag_box::child_count() const
{
    ag_lock_guard guard(*this);
    std::int32_t count = 0;
    for (const ag_child* entry = first_child; entry != nullptr; entry = entry->next)
        ++count;
    return count;
}

}  // namespace vuvorazi
