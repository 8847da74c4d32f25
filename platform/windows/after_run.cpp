#include "platform/windows/win32.h"

#include "platform/windows/after_run.h"

namespace vexl::platform {

void tell_after_run(const std::vector<std::string>& lines, const char* caption)
{
    if (lines.empty())
        return;
    std::string text;
    for (const std::string& line : lines)
        text += "vexlade: " + line + "\n";
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (err != nullptr && err != INVALID_HANDLE_VALUE && GetFileType(err) != FILE_TYPE_UNKNOWN &&
        WriteFile(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        return;
    MessageBoxA(nullptr, text.c_str(), caption, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

}  // namespace vexl::platform
