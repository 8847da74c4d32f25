#include "tools/record/av_support.h"

#include <cstdarg>
#include <mutex>
#include <utility>

namespace vexl::record {
namespace {

std::mutex message_lock;  // encoders log from their own threads
std::string last_message;

void keep_errors(void* context, int level, const char* format, std::va_list arguments)
{
    if (level > AV_LOG_ERROR)
        return;
    char line[1024];
    int print_prefix = 0;  // the context's name would only confuse our users
    av_log_format_line2(context, level, format, arguments, line, sizeof line, &print_prefix);
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (text.empty())
        return;
    std::lock_guard lock(message_lock);
    last_message = std::move(text);
}

}  // namespace

void capture_library_messages()
{
    static std::once_flag installed;
    std::call_once(installed, [] { av_log_set_callback(keep_errors); });
}

std::string take_library_message()
{
    std::lock_guard lock(message_lock);
    return std::exchange(last_message, {});
}

void AvOptions::set(const char* name, const std::string& value)
{
    if (av_dict_set(&dictionary_, name, value.c_str(), 0) < 0)
        lost_ = true;
}

std::string AvOptions::unconsumed(const std::string& who) const
{
    if (lost_)
        return "out of memory";
    const AVDictionaryEntry* left = av_dict_get(dictionary_, "", nullptr, AV_DICT_IGNORE_SUFFIX);
    if (left == nullptr)
        return {};
    return who + " does not take the option '" + left->key + "'";
}

std::string av_problem(const std::string& what, int code)
{
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, reason, sizeof reason);
    std::string problem = what + ": " + reason;
    if (const std::string logged = take_library_message(); !logged.empty())
        problem += " (" + logged + ")";
    return problem;
}

}  // namespace vexl::record
