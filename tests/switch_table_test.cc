#include "cli/switch_table.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace ravlet {
namespace {

using Expected = std::map<std::string, std::vector<std::string>>;

struct ParseCase {
    const char* name;
    std::vector<std::string> args; // after the program path
    Expected expected;
};

using test::shift_jis_like;

// Parses args and checks the table holds exactly `expected`: parse's result,
// every value through value_at, and ValueMissing one past the last value.
void expect_table(const std::vector<std::string>& args, const Expected& expected,
                  const LeadBytes& lead = LeadBytes{})
{
    std::vector<const char*> argv{"ravlet"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    SwitchTable table(lead);
    EXPECT_EQ(table.parse(static_cast<std::int32_t>(argv.size()), argv.data()),
              static_cast<std::int32_t>(expected.size()));
    for (const auto& [name, values] : expected) {
        SCOPED_TRACE("switch " + name);
        ASSERT_TRUE(table.has_switch(name));
        ASSERT_EQ(table.value_count(name), static_cast<std::int32_t>(values.size()));
        for (std::uint32_t i = 0; i < values.size(); ++i)
            EXPECT_EQ(table.value_at(name, i), values[i]);
        EXPECT_THROW(table.value_at(name, static_cast<std::uint32_t>(values.size())), ValueMissing);
    }
    for (const char* name : {"-r", "-m", "-p"}) {
        if (expected.count(name) == 0) {
            EXPECT_FALSE(table.has_switch(name)) << name;
            EXPECT_EQ(table.value_count(name), -1) << name;
            EXPECT_THROW(table.value_at(name, 0), ValueMissing) << name;
        }
    }
}

class SwitchTableGrammar : public testing::TestWithParam<ParseCase> {};

TEST_P(SwitchTableGrammar, ParsesToExpectedTable)
{
    expect_table(GetParam().args, GetParam().expected);
}

const std::string HIGH_BYTE_SWITCH = "-\x80z";

INSTANTIATE_TEST_SUITE_P(
    Cases, SwitchTableGrammar,
    testing::Values(
        ParseCase{"Nothing", {}, {}},
        ParseCase{"ValuesInOrder", {"-r", "ann", "bob", "-m", "hi"}, {{"-r", {"ann", "bob"}}, {"-m", {"hi"}}}},
        ParseCase{"PlainBeforeFirstSwitchIgnored", {"ann", "bob", "-r", "eve"}, {{"-r", {"eve"}}}},
        ParseCase{"OnlyPlainArguments", {"ann", "bob"}, {}},
        ParseCase{"SwitchWithoutValues", {"-m", "hi", "-r"}, {{"-m", {"hi"}}, {"-r", {}}}},
        ParseCase{"SwitchFollowedBySwitch", {"-r", "-m", "hi"}, {{"-r", {}}, {"-m", {"hi"}}}},
        ParseCase{"EmptyLeadingValueDropped", {"-m", ""}, {{"-m", {}}}},
        ParseCase{"EmptyLeadingValueConsumed", {"-m", "", "hi"}, {{"-m", {"hi"}}}},
        ParseCase{"EmptyLaterValueKept", {"-r", "bob", ""}, {{"-r", {"bob", ""}}}},
        ParseCase{"TwoEmptyArguments", {"-r", "", ""}, {{"-r", {""}}}},
        ParseCase{"RepeatedSwitchLosesLeadingValue",
                  {"-r", "ann", "-m", "hi", "-r", "bob", "eve"},
                  {{"-r", {"ann", "eve"}}, {"-m", {"hi"}}}},
        ParseCase{"RepeatedRightAway", {"-r", "-r", "ann"}, {{"-r", {}}}},
        ParseCase{"RepeatedAtEnd", {"-r", "ann", "-r"}, {{"-r", {"ann"}}}},
        ParseCase{"RepeatedValue", {"-r", "ann", "ann"}, {{"-r", {"ann", "ann"}}}},
        ParseCase{"NegativeNumbersAreValues", {"-p", "-5"}, {{"-p", {"-5"}}}},
        ParseCase{"NegativeNumberAmongValues", {"-r", "ann", "-5", "bob"}, {{"-r", {"ann", "-5", "bob"}}}},
        ParseCase{"NegativeNumberBeforeFirstSwitch", {"-5", "-r", "ann"}, {{"-r", {"ann"}}}},
        ParseCase{"LoneHyphenIsValue", {"-r", "-", "ann"}, {{"-r", {"-", "ann"}}}},
        ParseCase{"DoubleHyphenIsASwitch", {"--", "ann", "-r", "bob"}, {{"--", {"ann"}}, {"-r", {"bob"}}}},
        ParseCase{"HyphenWordIsASwitch", {"-m", "-hello"}, {{"-m", {}}, {"-hello", {}}}},
        ParseCase{"HyphenBlankWordIsASwitch", {"-m", "- hello"}, {{"-m", {}}, {"- hello", {}}}},
        ParseCase{"CaseMatters", {"-R", "ann", "-r", "bob"}, {{"-R", {"ann"}}, {"-r", {"bob"}}}},
        ParseCase{"NoAttachedValues", {"-rann"}, {{"-rann", {}}}},
        ParseCase{"SlashIsNoSwitch", {"/r", "ann"}, {}},
        ParseCase{"HighSecondByteIsASwitch", {HIGH_BYTE_SWITCH, "x"}, {{HIGH_BYTE_SWITCH, {"x"}}}}),
    [](const testing::TestParamInfo<ParseCase>& p) { return std::string(p.param.name); });

TEST(SwitchTable, IsSwitchLooksAtLengthAndFirstTwoBytes)
{
    EXPECT_FALSE(SwitchTable::is_switch(nullptr));
    for (const char* plain : {"", "-", "r", "/r", "-0", "-9x", "x-r"})
        EXPECT_FALSE(SwitchTable::is_switch(plain)) << plain;
    for (const char* sw : {"-r", "--", "-/", "-:", "- ", "-\x80", "-\xFF"})
        EXPECT_TRUE(SwitchTable::is_switch(sw)) << sw;
}

TEST(SwitchTable, ZeroCountDoesNotReadTheVector)
{
    SwitchTable table;
    EXPECT_EQ(table.parse(0, nullptr), 0);
    EXPECT_EQ(table.parse(-3, nullptr), 0);
    EXPECT_EQ(table.value_count("-r"), -1);
}

TEST(SwitchTable, SecondParseStartsFromAnEmptyTable)
{
    SwitchTable table;
    const char* first[] = {"ravlet", "-r", "ann"};
    const char* second[] = {"ravlet", "-m", "hi"};
    table.parse(3, first);
    EXPECT_EQ(table.parse(3, second), 1);
    EXPECT_FALSE(table.has_switch("-r"));
    EXPECT_EQ(table.value_at("-m", 0), "hi");
}

TEST(SwitchTable, ValuesAreCopies)
{
    SwitchTable table;
    std::string value = "ann";
    std::string name = "-r";
    const char* argv[] = {"ravlet", name.c_str(), value.c_str()};
    table.parse(3, argv);
    value[0] = 'X';
    name[1] = 'x';
    EXPECT_EQ(table.value_at("-r", 0), "ann");
}

TEST(SwitchTable, ManySwitchesStayFindableAsTheTableGrows)
{
    // Enough distinct names to grow the table several times; a repeat at
    // the end must still reach the first entry.
    std::vector<std::string> args;
    Expected expected;
    for (int i = 0; i < 1000; ++i) {
        args.push_back("-s" + std::to_string(i));
        args.push_back("v" + std::to_string(i));
        expected["-s" + std::to_string(i)] = {"v" + std::to_string(i)};
    }
    for (const char* repeat : {"-s0", "dropped", "late"})
        args.push_back(repeat);
    expected["-s0"].push_back("late");
    expect_table(args, expected);
}

TEST(SwitchTable, NullElementsReadAsEmptyArguments)
{
    const char* argv[] = {"ravlet", "-r", nullptr, "ann", nullptr};
    SwitchTable table;
    EXPECT_EQ(table.parse(5, argv), 1);
    ASSERT_EQ(table.value_count("-r"), 2);
    EXPECT_EQ(table.value_at("-r", 1), "");
}

TEST(SwitchTable, DoubleByteCodePageComparesPerCharacter)
{
    const LeadBytes sjis = shift_jis_like();
    // A name ending in a lone lead byte is the name without it.
    expect_table({"-r\x81", "ann", "-r", "bob", "eve"}, {{"-r", {"ann", "eve"}}}, sjis);
    // A leading value of one lone lead byte is empty and dropped.
    expect_table({"-m", "\x81", "hi"}, {{"-m", {"hi"}}}, sjis);
    // A trail byte that looks like a letter belongs to its character.
    expect_table({"-\x81r", "ann", "-r", "bob"}, {{"-\x81r", {"ann"}}, {"-r", {"bob"}}}, sjis);
    // Without lead bytes the same arguments are different switches.
    expect_table({"-r\x81", "ann", "-r", "bob", "eve"}, {{"-r\x81", {"ann"}}, {"-r", {"bob", "eve"}}});
    expect_table({"-m", "\x81", "hi"}, {{"-m", {"\x81", "hi"}}});
}

} // namespace
} // namespace ravlet
