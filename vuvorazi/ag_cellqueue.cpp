#include "vuvorazi/ag_cellqueue.h"

#include <mutex>
#include <new>

namespace vuvorazi {

ag_cellqueue::ag_cellqueue()
{
    std::lock_guard guard(section);
    head = new ag_cellnode;
    tail = head;
    pending = 0;
    change_mark = 0;
}

ag_cellqueue::~ag_cellqueue()
{
    std::lock_guard guard(section);
    while (pop()) {
    }
    delete head;
    head = nullptr;
    tail = nullptr;
}

bool ag_cellqueue::push(const ag_cell& value)
{
    std::lock_guard guard(section);
    return push_locked(value);
}

bool ag_cellqueue::push_if_changed(const ag_cell& value)
{
    std::lock_guard guard(section);
    // With nothing pending the newest node is the current one, so one
    // comparison covers both cases.
    if (tail->value == value)
        return true;
    return push_locked(value);
}

bool ag_cellqueue::push_locked(const ag_cell& value)
{
    auto* node = new (std::nothrow) ag_cellnode{nullptr, tail, value};
    if (node == nullptr)
        return false;
    if (pending <= 0)
        change_mark = 0;
    ++pending;
    tail->next = node;
    tail = node;
    return true;
}

bool ag_cellqueue::pop()
{
    std::lock_guard guard(section);
    if (pending <= 0)
        return false;
    --pending;
    ag_cellnode* const taken = head;
    head = taken->next;
    head->prev = nullptr;
    delete taken;
    return true;
}

std::int32_t ag_cellqueue::pending_count() const
{
    std::lock_guard guard(section);
    return pending;
}

}  // namespace vuvorazi
