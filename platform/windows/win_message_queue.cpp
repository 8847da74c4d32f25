#include "platform/windows/win_message_queue.h"

#include "platform/windows/win_window.h"

namespace vexl::platform {
namespace {

Message from_native(const MSG& msg)
{
    Message out;
    out.window = window_of(msg.hwnd);
    out.code = msg.message;
    out.wparam = msg.wParam;
    out.lparam = msg.lParam;
    return out;
}

}  // namespace

WinMessageQueue::WinMessageQueue() : thread_(GetCurrentThreadId())
{
    // A thread has a queue only once it calls a user32 function that needs
    // one; PostThreadMessage from another thread fails before that.
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

bool WinMessageQueue::peek(Message& out, std::uint32_t flags)
{
    sources_.pump(*this);
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, flags))
        return false;
    if ((flags & PM_REMOVE) != 0)
        last_ = msg;
    out = from_native(msg);
    return true;
}

int WinMessageQueue::get(Message& out)
{
    sources_.pump(*this);
    MSG msg;
    const BOOL result = GetMessageA(&msg, nullptr, 0, 0);
    if (result == -1) {
        // Nothing to take (never for a thread's own queue): say so as a
        // message that ends nothing.
        out = Message{};
        return 1;
    }
    last_ = msg;
    out = from_native(msg);
    return result == 0 ? 0 : 1;
}

MSG WinMessageQueue::native(const Message& message) const
{
    const HWND hwnd = hwnd_of(message.window);
    if (last_.hwnd == hwnd && last_.message == message.code && last_.wParam == message.wparam &&
        last_.lParam == static_cast<LPARAM>(message.lparam))
        return last_;
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message.code;
    msg.wParam = static_cast<WPARAM>(message.wparam);
    msg.lParam = static_cast<LPARAM>(message.lparam);
    return msg;
}

void WinMessageQueue::translate(const Message& message)
{
    const MSG msg = native(message);
    TranslateMessage(&msg);
}

void WinMessageQueue::dispatch(const Message& message)
{
    const MSG msg = native(message);
    DispatchMessageA(&msg);
}

void WinMessageQueue::post(const Message& message)
{
    const HWND hwnd = hwnd_of(message.window);
    const auto wparam = static_cast<WPARAM>(message.wparam);
    const auto lparam = static_cast<LPARAM>(message.lparam);
    if (hwnd != nullptr)
        PostMessageA(hwnd, message.code, wparam, lparam);
    else
        PostThreadMessageA(thread_, message.code, wparam, lparam);
}

void WinMessageQueue::add_source(MessageSource* source)
{
    sources_.add(source);
}

void WinMessageQueue::remove_source(MessageSource* source)
{
    sources_.remove(source);
}

}  // namespace vexl::platform
