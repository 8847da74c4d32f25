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

TEST(ParseNumber, SaysWhatIsWrong)
{
    long long v = 0;
    std::string problem;
    EXPECT_FALSE(parse_number("4294967297", 0, 1LL << 31, v, problem));
    EXPECT_EQ(problem, "4294967297 is too large (at most 2147483648)");
    EXPECT_FALSE(parse_number("99999999999999999999999", 0, 9, v, problem));
    EXPECT_EQ(problem, "99999999999999999999999 is too large (at most 9)");
    EXPECT_FALSE(parse_number("-1", 0, 9, v, problem));
    EXPECT_EQ(problem, "-1 is too small (at least 0)");
    EXPECT_FALSE(parse_number("1e3", 0, 9999, v, problem));
    EXPECT_EQ(problem, "'1e3' is not a whole number");
}

TEST(ParseArgs, SplitsOptionsFromOperands)
{
    constexpr OptionSpec options[] = {{"--level", true}, {"--aspect", false}};
    struct Case {
        std::vector<std::string_view> args;
        std::string problem;
        std::vector<std::string_view> operands;
        std::string_view level;  // the last --level given
    };
    const Case cases[] = {
        {{"a", "--level", "3", "b"}, "", {"a", "b"}, "3"},
        {{"--level=4", "--aspect", "-"}, "", {"-"}, "4"},
        {{"--", "--level", "-x"}, "", {"--level", "-x"}, ""},
        {{"a", "--", "--"}, "", {"a", "--"}, ""},
        {{"--bogus", "x.d1"}, "unknown option '--bogus'", {}, ""},
        {{"-x"}, "unknown option '-x'", {}, ""},
        {{"--aspect=yes"}, "--aspect takes no value", {}, ""},
        {{"a", "--level"}, "--level needs a value", {}, ""},
        {{"--lev", "1"}, "unknown option '--lev'", {}, ""},
    };
    for (const Case& c : cases) {
        ParsedArgs parsed;
        EXPECT_EQ(parse_args(c.args, options, parsed), c.problem) << c.args[0];
        if (!c.problem.empty())
            continue;
        EXPECT_EQ(parsed.operands, c.operands) << c.args[0];
        std::string_view level;
        for (const auto& option : parsed.options)
            if (option.name == "--level")
                level = option.value;
        EXPECT_EQ(level, c.level) << c.args[0];
    }
}

}  // namespace
}  // namespace vexl::tool
