#pragma once
// The root widget: a container that also keeps, for every cell of its grid,
// a queue of the values the cell took, so that a consumer can take the
// changes of each cell in order. present() is how a screen shows itself;
// the console and full-screen screens derive from this class and replace
// resize, update_region and present, calling these versions.

#include <cstdint>
#include <memory>

#include "vuvorazi/ag_box.h"
#include "vuvorazi/ag_cellqueue.h"

namespace vuvorazi {

class ag_screen : public ag_box {
public:
    ag_screen();  // unsized, without queues
    ~ag_screen();
    ag_screen(const ag_screen&) = delete;
    ag_screen& operator=(const ag_screen&) = delete;

    // A fresh zero grid and a fresh queue per cell (every queued value is
    // lost), then layout. False with no change for a negative or oversized
    // size, or when memory for the grid or the queues runs out.
    bool resize(std::int32_t rows, std::int32_t cols) override;
    // The container's update, then each changed cell's new value is queued
    // unless the cell would show it anyway once its queue is drained. False
    // for a widget that is not a child, or when a value could not be queued.
    bool update_region(ag_raw* child, std::int32_t row, std::int32_t col, std::int32_t nrows,
                       std::int32_t ncols) override;
    // Shows the screen; the plain screen has nothing to show. Always true.
    virtual bool present();

    // The queue of a cell, none outside the grid. Valid until the next
    // resize; a consumer on another thread pops it and reads current().
    ag_cellqueue* queue_at(std::int32_t row, std::int32_t col);

protected:
    std::unique_ptr<ag_cellqueue[]> queues;  // rows x cols, as the grid
};

}  // namespace vuvorazi
