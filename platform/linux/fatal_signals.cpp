#include "platform/linux/fatal_signals.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "platform/restore_hooks.h"

namespace vexl::platform {
namespace {

// Default action "terminate" or "core dump", less the three that end the
// run the orderly way and SIGTRAP. The real-time signals join them below.
constexpr int fixed_signals[] = {SIGQUIT, SIGILL,  SIGABRT,   SIGBUS,  SIGFPE,  SIGSEGV,
                                 SIGUSR1, SIGUSR2, SIGPIPE,   SIGALRM, SIGSTKFLT, SIGXCPU,
                                 SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS};

// Faults the processor raises: returning from the handler runs the
// faulting instruction again.
bool is_fault(int number)
{
    return number == SIGSEGV || number == SIGBUS || number == SIGILL || number == SIGFPE;
}

struct sigaction previous[NSIG];
bool installed[NSIG];

// A stack of its own, so that a stack overflow can still be handled.
stack_t previous_stack;
void* own_stack = nullptr;

extern "C" void on_fatal_signal(int number, siginfo_t* info, void*)
{
    run_restore_hooks();
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(number, &default_action, nullptr);
    // A fault the kernel raised comes again with the default action once
    // the handler returns, and its core dump then shows the real fault.
    // Sent ones (kill, raise, abort) have a code <= 0 and must be raised.
    if (is_fault(number) && info != nullptr && info->si_code > 0)
        return;
    // Inside the handler the signal is blocked; it has to get through now.
    sigset_t only_this;
    sigemptyset(&only_this);
    sigaddset(&only_this, number);
    pthread_sigmask(SIG_UNBLOCK, &only_this, nullptr);
    raise(number);
}

template <class Each>
void for_each_signal(Each each)
{
    for (int number : fixed_signals)
        each(number);
    for (int number = SIGRTMIN; number <= SIGRTMAX; ++number)
        each(number);
}

}  // namespace

bool FatalSignals::covers(int number)
{
    return std::find(std::begin(fixed_signals), std::end(fixed_signals), number) != std::end(fixed_signals) ||
           (number >= SIGRTMIN && number <= SIGRTMAX);
}

FatalSignals::FatalSignals()
{
    const std::size_t stack_size = std::max<std::size_t>(SIGSTKSZ, 65536);
    own_stack = std::malloc(stack_size);
    if (own_stack != nullptr) {
        stack_t stack{};
        stack.ss_sp = own_stack;
        stack.ss_size = stack_size;
        if (sigaltstack(&stack, &previous_stack) != 0) {
            std::free(own_stack);
            own_stack = nullptr;
        }
    }

    struct sigaction action {};
    action.sa_sigaction = on_fatal_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    for_each_signal([&](int number) {
        struct sigaction current {};
        installed[number] = false;
        if (sigaction(number, nullptr, &current) != 0)
            return;
        if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL)
            return;  // ignored, or someone else's
        installed[number] = sigaction(number, &action, &previous[number]) == 0;
    });
}

FatalSignals::~FatalSignals()
{
    for_each_signal([&](int number) {
        if (installed[number])
            sigaction(number, &previous[number], nullptr);
        installed[number] = false;
    });
    if (own_stack != nullptr) {
        sigaltstack(&previous_stack, nullptr);
        std::free(own_stack);
        own_stack = nullptr;
    }
}

}  // namespace vexl::platform
