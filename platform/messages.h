#pragma once
// The player's thread message queue: what the playback loop polls between
// frames. Key presses and window closing in the display's window, and the
// termination signals, arrive here as messages.

#include <cstdint>

#include "platform/handles.h"
#include "platform/service.h"

namespace vexl::platform {

// Message codes keep their classic values so traces read familiarly.
enum MessageCode : std::uint32_t {
    WM_NULL = 0x0000,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_SYSKEYDOWN = 0x0104,
    WM_SYSKEYUP = 0x0105,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
};

// Peek flags.
enum PeekFlags : std::uint32_t {
    PM_NOREMOVE = 0x0000,
    PM_REMOVE = 0x0001,
};

struct Message {
    WindowHandle window = nullptr;
    std::uint32_t code = WM_NULL;
    std::uint64_t wparam = 0;  // key messages: the key code
    std::int64_t lparam = 0;
};

// Something that produces messages when asked, such as the display's
// window events. The queue asks every source before it answers a peek or a
// get, on the thread that owns the queue.
class MessageSource {
public:
    virtual ~MessageSource() = default;
    virtual void pump(class MessageQueue& queue) = 0;
};

class MessageQueue {
public:
    virtual ~MessageQueue() = default;

    // Looks at the head of the queue (no window filter, no range). With
    // PM_NOREMOVE the message stays queued. Returns false when it is empty.
    virtual bool peek(Message& out, std::uint32_t flags) = 0;

    // Takes the head of the queue, waiting for one if it is empty. Returns
    // 0 when the message taken is WM_QUIT, nonzero otherwise.
    virtual int get(Message& out) = 0;

    // Key translation and delivery to the message's window. Windows of this
    // program have no behaviour of their own, so these exist to keep the
    // loop's sequence and to let tests observe it.
    virtual void translate(const Message& message) = 0;
    virtual void dispatch(const Message& message) = 0;

    // Appends a message (any thread).
    virtual void post(const Message& message) = 0;

    // Sources are asked in registration order; a source must be removed
    // before it is destroyed.
    virtual void add_source(MessageSource* source) = 0;
    virtual void remove_source(MessageSource* source) = 0;
};

inline MessageQueue& messages() { return service<MessageQueue>(); }

}  // namespace vexl::platform
