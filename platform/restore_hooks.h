#pragma once
// Hooks that put the user's environment back (terminal modes, display)
// when the process is about to die without running its normal teardown:
// the breakpoint trap after a failed check, a fatal signal. Services that
// change the environment register a hook while the change is in effect.
//
// Running the hooks is async-signal-safe as long as each hook is: hooks
// must restrict themselves to write(2)/tcsetattr(3)-style calls.

namespace vexl::platform {

using RestoreHook = void (*)(void* context);

// Registers a hook; returns a token for remove_restore_hook, or -1 when the
// fixed table is full. At most 8 hooks exist at once.
int add_restore_hook(RestoreHook hook, void* context);
void remove_restore_hook(int token);

// Runs every registered hook once (highest slot first) and unregisters them.
void run_restore_hooks();

}  // namespace vexl::platform
