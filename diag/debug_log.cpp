#include "diag/debug_log.h"

#include <cstdio>
#include <cstring>

#include "platform/debug_output.h"
#include "platform/local_clock.h"
#include "platform/reentrant_lock.h"

namespace vexl {

int debug_log_fd = -1;

namespace {

// Linux stores exactly what is written: this is two bytes on disk.
constexpr char line_break[] = "\r\n";

// Created on first use and never destroyed, so a report made while the
// process is shutting down still finds it. The static initialisation makes
// the creation safe even if two threads report at once.
platform::ReentrantLock& log_lock()
{
    static auto* lock = new platform::ReentrantLock;
    return *lock;
}

}  // namespace

void debug_lock()
{
    log_lock().lock();
}

void debug_unlock()
{
    log_lock().unlock();
}

void debug_report(std::int32_t /*level*/, const char* /*file*/, std::int32_t /*line*/,
                  const char* message)
{
    debug_lock();
    platform::StampText date;
    platform::StampText time;
    platform::local_clock().date_text(date);
    platform::local_clock().time_text(time);

    char entry[debug_entry_size];
    std::snprintf(entry, sizeof entry, "%s %s %s", date, time, message != nullptr ? message : "");

    platform::DebugOutput& output = platform::debug_output();
    output.write_debugger(entry);
    output.write_debugger("\n");
    debug_log_line(entry);
    debug_unlock();
}

void debug_log_line(const char* text)
{
    debug_lock();
    debug_log_write(text);
    debug_log_write(line_break);
    debug_unlock();
}

void debug_log_write(const char* text)
{
    // Re-entered from debug_report; taken here too so that direct callers
    // never race on debug_log_fd.
    debug_lock();
    platform::DebugOutput& output = platform::debug_output();
    if (debug_log_fd < 0) {
        debug_log_fd = output.open_log();
        // Each run's entries start after an empty line; written even when
        // the open failed, like every other write (and ignored then).
        output.write_log(debug_log_fd, line_break, sizeof line_break - 1);
    }
    output.write_log(debug_log_fd, text, std::strlen(text));
    debug_unlock();
}

}  // namespace vexl
