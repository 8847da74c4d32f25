#include "vuvorazi/ag_check.h"

#include "diag/debug_log.h"
#include "platform/breakpoint_trap.h"

namespace vuvorazi {
namespace {

// Every failed check logs the same shared, empty message; the entry then
// holds only the date and the time.
const char check_message[] = "";
const char check_source[] = "vuvorazi\\ag_raw";

}  // namespace

void check_failed(ag_check which)
{
    vexl::debug_report(1, check_source, static_cast<std::int32_t>(which), check_message);
    vexl::platform::breakpoint_trap().trap();
}

}  // namespace vuvorazi
