#include "platform/linux/job_control_signals.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>

#include "platform/restore_hooks.h"

namespace vexl::platform {
namespace {

std::atomic<bool> deferring{false};
std::atomic<bool> stop_requested{false};
std::atomic<unsigned> continue_count{0};
std::atomic<unsigned> resize_count{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<unsigned>::is_always_lock_free,
              "used in signal handlers");

struct sigaction previous_stop, previous_continue, previous_resize;
bool stop_installed = false;

extern "C" void on_stop_signal(int)
{
    // The first request while the main thread is taking them waits for it.
    if (deferring.load() && !stop_requested.exchange(true))
        return;
    // Nobody takes it up in time: give the terminal back and stop here.
    const int saved_errno = errno;
    stop_requested.store(false);
    run_restore_hooks();
    JobControlSignals::stop_process();
    errno = saved_errno;
}

extern "C" void on_continue_signal(int)
{
    continue_count.fetch_add(1);
}

extern "C" void on_resize_signal(int)
{
    resize_count.fetch_add(1);
}

void install(int number, void (*handler)(int), struct sigaction* previous)
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Unlike the termination signals, these must not cut short a blocking
    // read (a question on the terminal) or write.
    action.sa_flags = SA_RESTART;
    sigaction(number, &action, previous);
}

}  // namespace

JobControlSignals::JobControlSignals()
{
    // A SIGTSTP that was ignored when the process started (no job control
    // where it runs) stays ignored.
    struct sigaction current {};
    sigaction(SIGTSTP, nullptr, &current);
    stop_installed = current.sa_handler != SIG_IGN;
    if (stop_installed)
        install(SIGTSTP, on_stop_signal, &previous_stop);
    install(SIGCONT, on_continue_signal, &previous_continue);
    install(SIGWINCH, on_resize_signal, &previous_resize);
}

JobControlSignals::~JobControlSignals()
{
    if (stop_installed)
        sigaction(SIGTSTP, &previous_stop, nullptr);
    sigaction(SIGCONT, &previous_continue, nullptr);
    sigaction(SIGWINCH, &previous_resize, nullptr);
    deferring.store(false);
    stop_requested.store(false);
}

void JobControlSignals::defer_stops(bool on)
{
    deferring.store(on);
    if (!on)
        stop_requested.store(false);
}

bool JobControlSignals::take_stop_request()
{
    return stop_requested.exchange(false);
}

// Async-signal-safe: sigaction, pthread_sigmask and raise only.
void JobControlSignals::stop_process()
{
    const int saved_errno = errno;
    struct sigaction default_action {}, installed {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(SIGTSTP, &default_action, &installed);
    // Inside the handler SIGTSTP is blocked; it has to get through now.
    sigset_t stop_only, previous_mask;
    sigemptyset(&stop_only);
    sigaddset(&stop_only, SIGTSTP);
    pthread_sigmask(SIG_UNBLOCK, &stop_only, &previous_mask);
    raise(SIGTSTP);  // the process stops here until SIGCONT
    pthread_sigmask(SIG_SETMASK, &previous_mask, nullptr);
    sigaction(SIGTSTP, &installed, nullptr);
    errno = saved_errno;
}

unsigned JobControlSignals::continues()
{
    return continue_count.load();
}

unsigned JobControlSignals::resizes()
{
    return resize_count.load();
}

}  // namespace vexl::platform
