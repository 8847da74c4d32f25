#include "tools/vexl/command.h"

#include <gtest/gtest.h>

namespace vexl::tool {
namespace {

int run_nothing(std::span<const std::string_view>) { return exit_ok; }

const VexlCommand zeta("zz-test", "zz-test", "", run_nothing);
const VexlCommand alpha("aa-test", "aa-test", "", run_nothing);

TEST(VexlCommand, RegistryIsSortedAndSearchable)
{
    EXPECT_EQ(find_command("zz-test"), &zeta);
    EXPECT_EQ(find_command("nope"), nullptr);
    std::string_view previous;
    for (const VexlCommand* c = first_command(); c != nullptr; c = c->next) {
        EXPECT_LT(previous, c->name);
        previous = c->name;
    }
    EXPECT_EQ(first_command(), &alpha);
}

TEST(ParseInt, AcceptsOnlyWholeNumbersInRange)
{
    long long v = -1;
    EXPECT_TRUE(parse_int("7", 1, 9, v));
    EXPECT_EQ(v, 7);
    EXPECT_FALSE(parse_int("0", 1, 9, v));
    EXPECT_FALSE(parse_int("10", 1, 9, v));
    EXPECT_FALSE(parse_int("3x", 1, 9, v));
    EXPECT_FALSE(parse_int("", 1, 9, v));
    EXPECT_FALSE(parse_int("99999999999999999999999", 0, 9, v));
    EXPECT_EQ(v, 7) << "failed parses leave the output alone";
}

}  // namespace
}  // namespace vexl::tool
