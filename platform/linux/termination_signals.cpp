#include "platform/linux/termination_signals.h"

#include <signal.h>

#include <atomic>
#include <cstddef>
#include <iterator>

#include "platform/restore_hooks.h"

namespace vexl::platform {
namespace {

constexpr int handled_signals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr unsigned stuck_after = 3;

std::atomic<unsigned> received{0};
std::atomic<unsigned> delivered{0};
static_assert(std::atomic<unsigned>::is_always_lock_free, "used in a signal handler");

struct sigaction previous[std::size(handled_signals)];

extern "C" void on_termination_signal(int number)
{
    const unsigned count = received.fetch_add(1) + 1;
    if (count - delivered.load() >= stuck_after) {
        run_restore_hooks();
        signal(number, SIG_DFL);
        raise(number);
    }
}

}  // namespace

TerminationSignals::TerminationSignals()
{
    struct sigaction action {};
    action.sa_handler = on_termination_signal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking read or sleep returns early so the signal
    // is acted upon at once.
    action.sa_flags = 0;
    for (std::size_t i = 0; i < std::size(handled_signals); ++i)
        sigaction(handled_signals[i], &action, &previous[i]);
}

TerminationSignals::~TerminationSignals()
{
    for (std::size_t i = 0; i < std::size(handled_signals); ++i)
        sigaction(handled_signals[i], &previous[i], nullptr);
}

void TerminationSignals::pump(MessageQueue& queue)
{
    const unsigned count = received.load();
    if (count == delivered.load())
        return;
    delivered.store(count);
    Message quit;
    quit.code = WM_QUIT;
    queue.post(quit);
}

bool TerminationSignals::pending()
{
    return received.load() != delivered.load();
}

}  // namespace vexl::platform
