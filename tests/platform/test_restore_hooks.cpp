#include "platform/restore_hooks.h"

#include <gtest/gtest.h>

#include <string>

namespace vexl::platform {
namespace {

void append(void* context)
{
    auto* log = static_cast<std::string*>(context);
    log->push_back('x');
}

TEST(RestoreHooks, RunOnceAndUnregister)
{
    std::string log;
    const int a = add_restore_hook(append, &log);
    const int b = add_restore_hook(append, &log);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_NE(a, b);
    run_restore_hooks();
    EXPECT_EQ(log, "xx");
    run_restore_hooks();
    EXPECT_EQ(log, "xx") << "a hook runs at most once";
}

TEST(RestoreHooks, RemovedHookDoesNotRunAndTableIsBounded)
{
    std::string log;
    const int token = add_restore_hook(append, &log);
    remove_restore_hook(token);
    run_restore_hooks();
    EXPECT_EQ(log, "");

    int tokens[9];
    for (int& t : tokens)
        t = add_restore_hook(append, &log);
    EXPECT_EQ(tokens[8], -1) << "the ninth hook does not fit";
    for (int t : tokens)
        remove_restore_hook(t);
    run_restore_hooks();
    EXPECT_EQ(log, "");
}

}  // namespace
}  // namespace vexl::platform
