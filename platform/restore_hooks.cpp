#include "platform/restore_hooks.h"

#include <atomic>

namespace vexl::platform {
namespace {

// A fixed table of atomics rather than a container: run_restore_hooks may
// be called from a signal handler, where allocation and locks are off limits.
constexpr int max_hooks = 8;

struct HookEntry {
    std::atomic<RestoreHook> hook{nullptr};
    std::atomic<void*> context{nullptr};
};

HookEntry hooks[max_hooks];

}  // namespace

int add_restore_hook(RestoreHook hook, void* context)
{
    for (int i = 0; i < max_hooks; ++i) {
        RestoreHook expected = nullptr;
        // Publish the context before the hook so a runner never sees a
        // hook without its context.
        if (hooks[i].hook.load() == nullptr) {
            hooks[i].context.store(context);
            if (hooks[i].hook.compare_exchange_strong(expected, hook))
                return i;
        }
    }
    return -1;
}

void remove_restore_hook(int token)
{
    if (token >= 0 && token < max_hooks)
        hooks[token].hook.store(nullptr);
}

void run_restore_hooks()
{
    for (int i = max_hooks - 1; i >= 0; --i) {
        RestoreHook hook = hooks[i].hook.exchange(nullptr);
        if (hook != nullptr)
            hook(hooks[i].context.load());
    }
}

}  // namespace vexl::platform
