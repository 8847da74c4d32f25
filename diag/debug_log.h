#pragma once
// The debug log: failed internal checks become one time-stamped entry each,
// sent to the debugger output and appended to the log file. Nothing is
// created or opened in a run without a report.

#include <cstdint>

namespace vexl {

// Size of the entry buffer; longer entries are cut to one byte less.
inline constexpr int debug_entry_size = 1024;

// The log file's descriptor: -1 until the run's first write opens it, and
// -1 again while the open keeps failing. Never closed.
extern int debug_log_fd;

// Writes "date time message" as one entry. level, file and line are taken
// for the callers' sake and recorded nowhere.
void debug_report(std::int32_t level, const char* file, std::int32_t line, const char* message);

// The process-wide log lock, re-entrant, created on first use.
void debug_lock();
void debug_unlock();

// Both take the log lock (re-entered when called from debug_report).
// debug_log_line: the text, then a line break.
void debug_log_line(const char* text);
// Opens the log on first use, starting the run's entries with a line
// break, then appends the text's characters.
void debug_log_write(const char* text);

}  // namespace vexl
