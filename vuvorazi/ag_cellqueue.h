#pragma once
// The queue of values of one screen cell: its current value (the last one
// taken, or the initial zero cell) followed by the values queued after it,
// oldest first. Each queue has its own lock, so a consumer on another
// thread can pop while the screen pushes.

#include <cstdint>

#include "platform/reentrant_lock.h"
#include "vuvorazi/ag_cell.h"

namespace vuvorazi {

struct ag_cellnode {
    ag_cellnode* next = nullptr;  // the next newer node
    ag_cellnode* prev = nullptr;  // the next older node
    ag_cell value;
};

class ag_cellqueue {
public:
    // One zero node as the current value. Throws std::bad_alloc when even
    // that can't be allocated (the screen's resize turns it into false).
    ag_cellqueue();
    ~ag_cellqueue();
    ag_cellqueue(const ag_cellqueue&) = delete;
    ag_cellqueue& operator=(const ag_cellqueue&) = delete;

    // Queues a value. It is stored before the node is linked, under the
    // queue's lock, so a concurrent consumer never sees a half-written
    // cell. False, with nothing queued, when no node can be allocated.
    bool push(const ag_cell& value);
    // Queues the value unless it equals the value the cell will show once
    // everything pending has been taken. True when the queue now ends in
    // it; false only when it had to be queued and couldn't.
    bool push_if_changed(const ag_cell& value);
    // Makes the oldest pending value the current one; false when nothing
    // is pending (and nothing changes).
    bool pop();

    // Without the lock, as the design has it: current() is for the one
    // consumer that pops, newest() for the one producer that pushes.
    ag_cellnode* current() const { return head; }
    ag_cellnode* newest() const { return tail; }

    // Number of values queued after the current one, under the lock.
    std::int32_t pending_count() const;

private:
    bool push_locked(const ag_cell& value);

    mutable vexl::platform::ReentrantLock section;
    ag_cellnode* head = nullptr;
    ag_cellnode* tail = nullptr;
    // Zeroed whenever a change is queued while nothing was pending; kept
    // for consumers that want to mark a cell as seen.
    std::uint32_t change_mark = 0;
    std::int32_t pending = 0;
};

}  // namespace vuvorazi
