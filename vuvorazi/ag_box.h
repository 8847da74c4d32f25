#pragma once
// The container widget: places its children one after another along one
// axis, with fixed-size children first and the free space shared by
// weight, copies a child's changed cells into its own grid and passes the
// change up the tree.

#include <cstdint>

#include "vuvorazi/ag_raw.h"

namespace vuvorazi {

enum ag_orientation : std::int32_t {
    orient_none = -1,       // children keep the placement they were given
    orient_vertical = 0,    // stacked top to bottom, full width
    orient_horizontal = 1,  // side by side from the left, full height
};

// Where an orient_none container shows a child, in its own cells.
struct ag_placement {
    std::int32_t row = 0;
    std::int32_t col = 0;
    std::int32_t rows = 0;
    std::int32_t cols = 0;
};

class ag_box : public ag_raw {
public:
    ag_box();
    ~ag_box();  // detaches (does not destroy) every child
    ag_box(const ag_box&) = delete;
    ag_box& operator=(const ag_box&) = delete;

    // The first entry whose child has the widget's id.
    ag_child* find_child(const ag_raw* widget) override;
    // The plain resize, then layout (which runs even when the resize is
    // refused).
    bool resize(std::int32_t rows, std::int32_t cols) override;
    // Gives focus to the first focusable child that takes it.
    bool take_focus() override;
    // A child's cells in rows row..row+nrows-1 and columns col..col+ncols-1
    // (child coordinates) changed: copies them, trimmed to the child's
    // placement, and passes the trimmed region up.
    virtual bool update_region(ag_raw* child, std::int32_t row, std::int32_t col,
                               std::int32_t nrows, std::int32_t ncols);

    // Places the children and resizes them to their placements; always true.
    bool layout();
    // Detaches the child (neither resized nor destroyed) and lays out again.
    bool remove_child(const ag_raw* widget);

    // Attaches a widget that has no parent and whose lock nobody holds,
    // before the entry at `position` (at the end when position is
    // negative or past the end), with a non-negative weight; then lays out.
    // The placement is used as given by an orient_none container; it must
    // not be negative nor end beyond a 32-bit index. The other orientations
    // compute their own.
    bool add_child(ag_raw* widget, std::int32_t position, std::int32_t weight,
                   const ag_placement& placement = {});

    // One of the ag_orientation values; lays out again.
    bool set_orientation(std::int32_t value);
    std::int32_t get_orientation() const;
    std::int32_t child_count() const;

protected:
    std::int32_t orientation = orient_none;

private:
    struct axis;
    // The fixed-size pass and the weighted pass along one axis.
    void place_along(const axis& along);
};

}  // namespace vuvorazi
