#pragma once
// The toolkit's internal checks. A failed one is reported to the debug log
// under the base widget's source name and the check's number, with an empty
// message, and then stops at the breakpoint trap. When the trap returns (a
// debugger continued it, or a test's fake), the caller carries on safely.

#include <cstdint>

namespace vuvorazi {

enum class ag_check : std::int32_t {
    child_counts_before_parent_lock = 136,  // lock: a widget with a parent holds a count
    child_counts_after_parent_lock = 138,   // the same, once the parent's lock is held
    root_gained_parent = 141,               // lock: the root got a parent while we waited
    holder_has_parent = 149,                // unlock: the count holder is not a root
    release_without_take = 152,             // unlock: nobody up the chain holds a count
    negative_rows = 381,                    // vertical layout gave a negative height
    negative_cols = 409,                    // horizontal layout gave a negative width
};

void check_failed(ag_check which);

}  // namespace vuvorazi
