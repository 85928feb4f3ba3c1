// ravlet-listen's command line and its quoting, in-process.
#include "listen/listen_options.h"
#include "listen/message_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ravlet {
namespace {

ListenOptionsResult parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "ravlet-listen");
    return parse_listen_options(static_cast<int>(args.size()), args.data());
}

TEST(ListenOptions, GoodCommandLines)
{
    const ListenOptionsResult none = parse({});
    EXPECT_EQ(none.error, "");
    EXPECT_EQ(none.options.title, "Corvane.NET");
    EXPECT_FALSE(none.options.count.has_value());
    EXPECT_EQ(none.options.reply, 1);
    EXPECT_EQ(none.options.delay_ms, 0u);
    EXPECT_FALSE(none.options.hex);

    const ListenOptionsResult all =
        parse({"--title", "Other window", "--count=3", "--reply", "-9223372036854775808", "--delay-ms=2147483647",
               "--hex", "-h"});
    EXPECT_EQ(all.error, "");
    EXPECT_EQ(all.options.title, "Other window");
    EXPECT_EQ(all.options.count, 3u);
    EXPECT_EQ(all.options.reply, INT64_MIN);
    EXPECT_EQ(all.options.delay_ms, 2147483647u);
    EXPECT_TRUE(all.options.hex);
    EXPECT_TRUE(all.options.help);

    EXPECT_EQ(parse({"--title", "a", "--title=b"}).options.title, "b") << "the last one counts";
}

TEST(ListenOptions, BadCommandLines)
{
    struct Case {
        std::vector<const char*> args;
        std::string error;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option '--bogus' (see --help)"},
        {{"title"}, "unknown option 'title' (see --help)"},
        {{"--count"}, "--count needs a value (see --help)"},
        {{"--count", "0"}, "--count needs a whole number of at least 1, not '0'"},
        {{"--count", "18446744073709551616"}, "--count needs a whole number of at least 1, not '18446744073709551616'"},
        {{"--count", " 1"}, "--count needs a whole number of at least 1, not ' 1'"},
        {{"--reply", "1x"}, "--reply needs a whole number, not '1x'"},
        {{"--delay-ms", "2147483648"}, "--delay-ms needs a whole number of milliseconds, not '2147483648'"},
        {{"--delay-ms=-1"}, "--delay-ms needs a whole number of milliseconds, not '-1'"},
        {{"--title", ""}, "--title needs a non-empty title"},
        {{"--hex=no"}, "--hex takes no value (see --help)"},
        {{"--help="}, "--help takes no value (see --help)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(parse(c.args).error, c.error);
    }
}

TEST(QuoteBytes, EveryByteSaysWhatItIs)
{
    struct Case {
        std::string bytes;
        std::string quoted;
    };
    const Case cases[] = {
        {"", R"("")"},
        {"Lunch is ready", R"("Lunch is ready")"},
        {R"(say "hi" \ bye)", R"("say \"hi\" \\ bye")"},
        {"tab\there", R"("tab\x09here")"},
        {"line\r\nend", R"("line\x0D\x0Aend")"},
        {"\x7F\x80\xFF", R"("\x7F\x80\xFF")"},
        {"~ !", R"("~ !")"},
        {"\\x41", R"("\\x41")"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(quote_bytes(c.bytes), c.quoted) << c.quoted;
}

} // namespace
} // namespace ravlet
