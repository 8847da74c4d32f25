#pragma once
// Shared scaffolding of the toolkit tests: the fake diagnostics installed
// for the test's lifetime, and a widget that can break its own invariants
// so that the checks can be provoked.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "diag/debug_log.h"
#include "tests/fakes/fake_diagnostics.h"
#include "platform/service.h"
#include "vuvorazi/ag_box.h"
#include "vuvorazi/ag_screen.h"

namespace vuvorazi::testing {

class FakeDiagnosticsTest : public ::testing::Test {
protected:
    FakeDiagnosticsTest() { vexl::debug_log_fd = -1; }  // each test is a fresh run

    vexl::fakes::FakeDebugOutput output;
    vexl::fakes::FakeLocalClock clock;
    vexl::fakes::FakeBreakpointTrap trap;

private:
    vexl::platform::ScopedService<vexl::platform::DebugOutput> output_slot_{output};
    vexl::platform::ScopedService<vexl::platform::LocalClock> clock_slot_{clock};
    vexl::platform::ScopedService<vexl::platform::BreakpointTrap> trap_slot_{trap};
};

// A container whose lock state and links the test can corrupt on purpose.
class probe_box : public ag_box {
public:
    void force_lock_count(std::int32_t value) { lock_count = value; }
    void force_parent(ag_box* value) { parent = value; }
    void force_focused(bool value) { focused = value; }
    void enter_own_section() { lock_section.lock(); }
    void leave_own_section() { lock_section.unlock(); }
};

class probe_leaf : public ag_raw {
public:
    void force_focused(bool value) { focused = value; }
};

// Holds a widget's tree lock on another thread for its own lifetime.
class held_elsewhere {
public:
    explicit held_elsewhere(const ag_raw& widget)
        : holder_([this, &widget] {
              widget.lock();
              held_ = true;
              while (!release_)
                  std::this_thread::yield();
              widget.unlock();
          })
    {
        while (!held_)
            std::this_thread::yield();
    }
    ~held_elsewhere()
    {
        release_ = true;
        holder_.join();
    }
    held_elsewhere(const held_elsewhere&) = delete;
    held_elsewhere& operator=(const held_elsewhere&) = delete;

private:
    std::atomic<bool> held_{false};
    std::atomic<bool> release_{false};
    std::thread holder_;
};

// A cell that says which value it is.
inline ag_cell cell_of(std::uint32_t n)
{
    return ag_cell{static_cast<std::uint8_t>('A' + n % 26), n, ~n};
}

}  // namespace vuvorazi::testing
