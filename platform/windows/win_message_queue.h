#pragma once
// The player's thread message queue on Windows: the thread's own Win32
// queue. The display's window posts its key presses there, Ctrl+C and
// closing the console post WM_QUIT there (console_control.h), and the
// calls are the Win32 ones the playback loop stands in for.

#include "platform/windows/win32.h"

#include "platform/message_sources.h"

namespace vexl::platform {

class WinMessageQueue final : public MessageQueue {
public:
    // The queue of the calling thread, which must be the one that polls it.
    WinMessageQueue();

    bool peek(Message& out, std::uint32_t flags) override;
    int get(Message& out) override;
    void translate(const Message& message) override;
    void dispatch(const Message& message) override;
    void post(const Message& message) override;
    void add_source(MessageSource* source) override;
    void remove_source(MessageSource* source) override;

    DWORD thread_id() const { return thread_; }

private:
    // The Win32 message a platform message came from: the last one taken,
    // with its time and cursor position, when it is that one.
    MSG native(const Message& message) const;

    DWORD thread_;
    MSG last_{};
    MessageSourceList sources_;
};

}  // namespace vexl::platform
