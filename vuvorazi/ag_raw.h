#pragma once
// The base widget: a rectangle of character cells that can sit in a tree.
// A tree shares its root's re-entrant lock; every operation holds it from
// entry to exit, so operations on one tree are serialised and may call one
// another freely.
//
// Destruction is deliberately not virtual: an owner destroys a widget
// through its own class (the player destroys its screen as the concrete
// screen type), so no class of the tree carries a virtual destructor.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/reentrant_lock.h"
#include "vuvorazi/ag_cell.h"
#include "vuvorazi/ag_keyhandler.h"

namespace vuvorazi {

class ag_raw;
class ag_box;

// A container's entry for one child: its placement inside the container
// and its share of free space. Owned by the container; the child is not.
struct ag_child {
    ag_raw* child = nullptr;
    std::int32_t row = 0;
    std::int32_t col = 0;
    std::int32_t rows = 0;
    std::int32_t cols = 0;
    std::int32_t weight = 0;
    ag_child* prev = nullptr;
    ag_child* next = nullptr;
};

// Source of widget ids: each constructed widget of any class takes the
// next value, so the first is 1 and none is ever reused. Atomic so that
// widgets built on several threads still get distinct ids.
extern std::atomic<std::uint64_t> widget_id_counter;

// The largest grid: every index row * cols + col fits a signed 32-bit int.
inline constexpr std::int64_t max_grid_cells = INT32_MAX;

class ag_raw {
public:
    ag_raw();
    ~ag_raw();  // not virtual, see above
    ag_raw(const ag_raw&) = delete;
    ag_raw& operator=(const ag_raw&) = delete;

    // Take and release the tree's lock (the root's), re-entrantly.
    void lock() const;
    void unlock() const;

    // Virtual operations, in this slot order.
    virtual ag_child* find_child(const ag_raw* widget);  // base: always none
    // A fresh all-zero grid of rows x cols; false with no change for a
    // negative size, an oversized grid or a failed allocation.
    virtual bool resize(std::int32_t rows, std::int32_t cols);
    virtual bool has_focus();
    virtual bool take_focus();
    // Offers the key to the key handler, then to the focused children.
    virtual bool key(std::uint32_t code);

    // Plain read without the lock (containers call it with the lock held).
    bool is_focusable() const { return focusable; }
    // Steps of take_focus: clear_tree_focus climbs to the root, which then
    // clears the flag of every widget in its tree with clear_focus.
    void clear_tree_focus();
    void clear_focus();

    // Setters, each under the lock. The fixed description feeds the
    // parent's layout, so changing it lays the parent out again. Negative
    // extents are refused. A container derives its own fixed description
    // from its children at each layout.
    void set_focusable(bool value);
    void set_key_handler(ag_keyhandler* handler);  // borrowed, may be null
    void set_fixed(bool value);
    bool set_fixed_rows(std::int32_t value);
    bool set_fixed_cols(std::int32_t value);

    // Drawing: copies an nrows x ncols row-major block into the grid at
    // (row, col), keeps what falls inside the grid, and reports that part
    // to the parent. False when nothing of the block lies in the grid or
    // the parent refused the report.
    bool write_cells(std::int32_t row, std::int32_t col, std::int32_t nrows, std::int32_t ncols,
                     const ag_cell* source);
    bool put_cell(std::int32_t row, std::int32_t col, const ag_cell& value)
    {
        return write_cells(row, col, 1, 1, &value);
    }
    // Tells the parent that these cells (own coordinates) changed; true
    // without a parent.
    bool report_region(std::int32_t row, std::int32_t col, std::int32_t nrows, std::int32_t ncols);

    // Readers, each under the lock. cell_at is empty outside the grid.
    std::uint64_t get_id() const { return id; }  // never changes
    std::int32_t get_rows() const;
    std::int32_t get_cols() const;
    std::optional<ag_cell> cell_at(std::int32_t row, std::int32_t col) const;
    bool has_grid() const;
    ag_box* get_parent() const;
    // This widget's own nesting count as the calling thread sees it: 0
    // unless the thread holds this widget's section (a root's).
    std::int32_t get_lock_count() const;
    bool is_fixed() const;
    std::int32_t get_fixed_rows() const;
    std::int32_t get_fixed_cols() const;
    bool is_focused() const;
    ag_keyhandler* get_key_handler() const;

protected:
    // The entry whose child has this id, or none.
    ag_child* entry_with_id(std::uint64_t child_id) const;
    // Lays the parent out again after the fixed description changed.
    void relayout_parent();

    // Only a root's lock_section is ever entered; lock_count is the
    // nesting depth of the tree's lock and only ever non-zero on a root.
    mutable vexl::platform::ReentrantLock lock_section;
    mutable std::int32_t lock_count = 0;
    ag_child* first_child = nullptr;
    ag_child* last_child = nullptr;
    std::uint64_t id;
    ag_box* parent = nullptr;
    std::int32_t rows = -1;  // -1 until the first resize
    std::int32_t cols = -1;
    std::unique_ptr<ag_cell[]> cells;  // rows x cols, row-major; none when empty
    bool fixed = false;
    std::int32_t fixed_rows = 0;
    std::int32_t fixed_cols = 0;
    bool focused = false;
    bool focusable = false;
    ag_keyhandler* key_handler = nullptr;

    // Containers attach and detach children and read their descriptions.
    friend class ag_box;
};

// Holds a widget's tree lock for a scope. Not for a scope in which the
// widget itself is attached or detached: unlock then follows the new tree.
class ag_lock_guard {
public:
    explicit ag_lock_guard(const ag_raw& widget) : widget_(widget) { widget_.lock(); }
    ~ag_lock_guard() { widget_.unlock(); }
    ag_lock_guard(const ag_lock_guard&) = delete;
    ag_lock_guard& operator=(const ag_lock_guard&) = delete;

private:
    const ag_raw& widget_;
};

}  // namespace vuvorazi
