#include "cli/send_driver.h"
#include "failing_allocator.h"
#include "ravlet_version.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace ravlet {
namespace {

// Output captured into a buffer reserved up front, so writing never allocates.
class CapturedStream final : public OutputStream {
public:
    CapturedStream()
    {
        text.reserve(1 << 16);
        pending.reserve(1 << 12);
    }
    void write(std::string_view bytes) override { pending.append(bytes); }
    void flush() override
    {
        text.append(pending);
        pending.clear();
    }
    std::string text;    // what was flushed
    std::string pending; // written but not yet flushed
};

class FakePlatform final : public Platform {
public:
    FakePlatform() { sent.reserve(1 << 16); }

    bool framework_ok = true;
    bool window_present = true;
    HandOver hand_over = HandOver::Delivered;
    std::uint32_t error = 0; // the system error of a failed hand-over
    LeadBytes lead;

    std::vector<std::string> looked_up; // titles asked for
    int sends = 0;
    std::string sent;
    CopyData record;

    bool init_framework() override { return framework_ok; }
    LeadBytes lead_bytes() override { return lead; }
    std::optional<WindowRef> find_window(const char* title) override
    {
        if (looked_up.size() < looked_up.capacity())
            looked_up.emplace_back(title);
        return window_present ? std::optional<WindowRef>(WindowRef{0x1234}) : std::nullopt;
    }
    HandOver send_copy_data(WindowRef window, const CopyData& r, std::optional<std::uint32_t> limit_ms) override
    {
        limit = limit_ms;
        EXPECT_EQ(window.handle, 0x1234u);
        ++sends;
        record = r;
        sent.assign(static_cast<const char*>(r.lp_data), r.cb_data);
        return hand_over;
    }
    std::uint32_t hand_over_error() const override { return hand_over == HandOver::Delivered ? 0 : error; }

    // A clock that moves only when the run sleeps, and files held in memory.
    std::uint64_t monotonic_ms() override { return clock_ms; }
    void sleep_ms(std::uint32_t ms) override
    {
        clock_ms += ms;
        ++sleeps;
        if (window_appears_at_ms && clock_ms >= *window_appears_at_ms)
            window_present = true;
    }
    bool read_file(const char* path, std::size_t most_bytes, std::string& bytes, std::string& problem) override
    {
        EXPECT_EQ(most_bytes, 64u << 20);
        files_read.emplace_back(path);
        const auto found = files.find(path);
        if (found == files.end()) {
            problem = "No such file or directory";
            return false;
        }
        bytes = found->second;
        return true;
    }

    std::optional<std::uint32_t> limit; // the hand-over's limit
    std::uint64_t clock_ms = 0;
    int sleeps = 0;
    std::optional<std::uint64_t> window_appears_at_ms;
    std::map<std::string, std::string> files;
    std::vector<std::string> files_read;
};

const std::string BANNER = test::expected_banner("\n");
const std::string USAGE = test::expected_usage("\n");

struct RunResult {
    ExitStatus status;
    std::string out;
    std::string err;
};

RunResult run(FakePlatform& platform, std::vector<const char*> args)
{
    platform.looked_up.reserve(4);
    args.insert(args.begin(), "C:\\tools\\other-name.exe");
    CapturedStream out;
    CapturedStream err;
    const ExitStatus status =
        run_send(static_cast<int>(args.size()), args.data(), platform, out, err);
    EXPECT_EQ(out.pending, "") << "unflushed output";
    EXPECT_EQ(err.pending, "") << "unflushed error output";
    return {status, out.text, err.text};
}

std::string packet_hex(std::vector<std::string_view> recipients, std::string_view text, std::uint8_t priority)
{
    std::string bytes = "CV31";
    std::uint32_t total = 16 + static_cast<std::uint32_t>(text.size()) + 1;
    for (auto r : recipients)
        total += static_cast<std::uint32_t>(r.size()) + 1;
    for (std::uint32_t v : {std::uint32_t{priority}, 16u, total})
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>(v >> (8 * i));
    for (auto r : recipients)
        bytes.append(r).push_back('\0');
    bytes.append(text).push_back('\0');
    return test::to_hex(bytes);
}

TEST(SendDriver, UsageStops)
{
    const std::vector<std::vector<const char*>> stops = {
        {},
        {"-x", "1"},
        {"ann", "-5"},
        {"-r", "ann"},
        {"-m", "hi"},
        {"-r", "-m", "hi"},
        {"-r", "ann", "-m"},
        {"-r", "ann", "-m", ""},
        {"-r", "ann", "-m", "hi", "-p"},
        {"-r", "ann", "-m", "hi", "-p", "-x"},
        {"-R", "ann", "-M", "hi"},
        {"-rann", "-mhi"},
    };
    for (const auto& args : stops) {
        SCOPED_TRACE(testing::PrintToString(args));
        FakePlatform platform;
        const RunResult r = run(platform, args);
        EXPECT_EQ(r.status, ExitStatus::NotSent);
        EXPECT_EQ(r.out, BANNER + USAGE);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(platform.looked_up.empty());
        EXPECT_EQ(platform.sends, 0);
    }
}

TEST(SendDriver, SendsOnePacketToTheMessengerWindow)
{
    FakePlatform platform;
    const RunResult r = run(platform, {"-r", "ann", "-m", "hi"});
    EXPECT_EQ(r.status, ExitStatus::Sent);
    EXPECT_EQ(r.out, BANNER + "Message has been sent.\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(platform.looked_up, std::vector<std::string>{"Corvane.NET"});
    ASSERT_EQ(platform.sends, 1);
    EXPECT_EQ(platform.record.dw_data, 0u);
    EXPECT_EQ(platform.record.cb_data, 23u);
    EXPECT_EQ(test::to_hex(platform.sent), packet_hex({"ann"}, "hi", 1));
}

TEST(SendDriver, GathersRecipientsTextAndPriority)
{
    struct Case {
        std::vector<const char*> args;
        std::string expected_hex;
    };
    const Case cases[] = {
        {{"-m", "hi", "-r", "ann"}, packet_hex({"ann"}, "hi", 1)},
        {{"-r", "ann", "bob", "-m", "hi", "there"}, packet_hex({"ann", "bob"}, "hi", 1)},
        {{"-r", "ann", "-m", "hi there"}, packet_hex({"ann"}, "hi there", 1)},
        {{"-r", "ann", "", "-m", "x", ""}, packet_hex({"ann", ""}, "x", 1)},
        {{"-p", "HIGH", "-r", "a", "-m", "b"}, packet_hex({"a"}, "b", 2)},
        {{"-p", "High", "-r", "a", "-m", "b"}, packet_hex({"a"}, "b", 2)},
        {{"-p", "high", "-r", "a", "-m", "b"}, packet_hex({"a"}, "b", 2)},
        {{"-p", "LOW", "-r", "a", "-m", "b"}, packet_hex({"a"}, "b", 0)},
        {{"-p", "low", "high", "-r", "a", "-m", "b"}, packet_hex({"a"}, "b", 0)},
        {{"-p", "normal", "-r", "a", "-m", "b"}, packet_hex({"a"}, "b", 1)},
        {{"-p", "urgent", "-r", "a", "-m", "b"}, packet_hex({"a"}, "b", 1)},
        {{"-p", "lowest", "-r", "a", "-m", "b"}, packet_hex({"a"}, "b", 1)},
        {{"-p", " low", "-r", "a", "-m", "b"}, packet_hex({"a"}, "b", 1)},
        {{"-p", "", "high", "-r", "a", "-m", "b"}, packet_hex({"a"}, "b", 2)},
        {{"-r", "a", "-m", "b", "-p", "-1"}, packet_hex({"a"}, "b", 1)},
        {{"-r", "a", "-r", "b", "c", "-m", "m"}, packet_hex({"a", "c"}, "m", 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        FakePlatform platform;
        const RunResult r = run(platform, c.args);
        EXPECT_EQ(r.status, ExitStatus::Sent);
        EXPECT_EQ(test::to_hex(platform.sent), c.expected_hex);
    }
}

TEST(SendDriver, DoubleBytePriorityWordEndsAtLoneLeadByte)
{
    FakePlatform platform;
    platform.lead.add_range(0x81, 0x9F);
    run(platform, {"-r", "a", "-m", "b", "-p", "high\x81"});
    EXPECT_EQ(test::to_hex(platform.sent), packet_hex({"a"}, "b", 2));

    FakePlatform single_byte;
    run(single_byte, {"-r", "a", "-m", "b", "-p", "high\x81"});
    EXPECT_EQ(test::to_hex(single_byte.sent), packet_hex({"a"}, "b", 1));
}

TEST(SendDriver, OutcomesWithoutAWindowToTake)
{
    struct Case {
        const char* name;
        bool framework_ok;
        bool window_present;
        HandOver hand_over;
        std::uint32_t error;
        ExitStatus status;
        std::string out;
        std::string err;
        int sends;
    };
    const Case cases[] = {
        {"not found", true, false, HandOver::Delivered, 0, ExitStatus::NotSent, BANNER + "Corvane not found.\n", "", 0},
        {"window gone", true, true, HandOver::WindowGone, 0, ExitStatus::NotSent, BANNER + "Corvane not found.\n", "",
         1},
        // A system error is named on standard error, with its likely cause.
        {"access denied", true, true, HandOver::WindowGone, 5, ExitStatus::NotSent, BANNER + "Corvane not found.\n",
         "ravlet: the messenger window did not take the message: error 5 (access denied: the messenger may run "
         "with higher rights than this tool, or it ended while handling the message)\n",
         1},
        {"window closed", true, true, HandOver::WindowGone, 1400, ExitStatus::NotSent,
         BANNER + "Corvane not found.\n",
         "ravlet: the messenger window did not take the message: error 1400 (the window closed before it handled "
         "the message)\n",
         1},
        {"other error", true, true, HandOver::WindowGone, 1460, ExitStatus::NotSent, BANNER + "Corvane not found.\n",
         "ravlet: the messenger window did not take the message: error 1460\n", 1},
        {"framework fails", false, true, HandOver::Delivered, 0, ExitStatus::Fatal, "",
         "Fatal Error: MFC initialization failed\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform platform;
        platform.framework_ok = c.framework_ok;
        platform.window_present = c.window_present;
        platform.hand_over = c.hand_over;
        platform.error = c.error;
        const RunResult r = run(platform, {"-r", "ann", "-m", "hi"});
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(platform.sends, c.sends);
    }
}

// The opt-in switches for scripts, against a fake clock and fake files.
TEST(ScriptSwitches, QuietLeavesOutOnlyTheBanner)
{
    FakePlatform sent;
    EXPECT_EQ(run(sent, {"--quiet", "-r", "ann", "-m", "hi"}).out, "Message has been sent.\n");
    FakePlatform usage;
    EXPECT_EQ(run(usage, {"-r", "ann", "--quiet"}).out, USAGE);
    FakePlatform refused;
    const RunResult r = run(refused, {"-r", "ann", "-m", "hi", "--quiet", "--timeout", "x"});
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err, "");
}

TEST(ScriptSwitches, TimeoutBoundsTheHandOver)
{
    FakePlatform unbounded;
    run(unbounded, {"-r", "ann", "-m", "hi"});
    EXPECT_EQ(unbounded.limit, std::nullopt) << "without --timeout the wait has no limit";

    FakePlatform platform;
    platform.hand_over = HandOver::TimedOut;
    const RunResult r = run(platform, {"-r", "ann", "-m", "hi", "--timeout", "1500"});
    EXPECT_EQ(platform.limit, 1500u);
    EXPECT_EQ(r.status, ExitStatus::TimedOut);
    EXPECT_EQ(static_cast<int>(r.status), 2);
    EXPECT_EQ(r.out, BANNER + "Corvane did not answer in time.\n");
    EXPECT_EQ(r.err, "");
}

TEST(ScriptSwitches, WaitLooksAgainUntilTheWindowAppearsOrTimeIsUp)
{
    FakePlatform appears;
    appears.window_present = false;
    appears.window_appears_at_ms = 250;
    const RunResult found = run(appears, {"--wait", "1000", "-r", "ann", "-m", "hi"});
    EXPECT_EQ(found.status, ExitStatus::Sent);
    EXPECT_EQ(appears.sleeps, 3) << "every 100 ms";

    FakePlatform never;
    never.window_present = false;
    const RunResult missing = run(never, {"--wait", "350", "-r", "ann", "-m", "hi"});
    EXPECT_EQ(missing.status, ExitStatus::NotSent);
    EXPECT_EQ(missing.out, BANNER + "Corvane not found.\n");
    EXPECT_EQ(never.clock_ms, 350u) << "the last pause ends at the limit";
    EXPECT_EQ(never.looked_up.size(), 4u);

    FakePlatform once;
    once.window_present = false;
    run(once, {"--wait", "0", "-r", "ann", "-m", "hi"});
    EXPECT_EQ(once.sleeps, 0);
}

TEST(ScriptSwitches, TextFileStandsInForTheMessage)
{
    struct Case {
        const char* name;
        std::string content;
        std::string text; // what the packet carries
    };
    const Case cases[] = {
        {"one line end dropped", "hi\n", "hi"},
        {"CR LF kept inside, one dropped at the end", "line 1\r\nline 2\r\n", "line 1\r\nline 2"},
        {"only one line end dropped", "hi\n\n", "hi\n"},
        {"a lone CR stays", "hi\r", "hi\r"},
        {"no line end", "hi", "hi"},
        {"empty", "", ""},
        {"bytes above 0x7F unchanged", "\x82\xA0\xFF", "\x82\xA0\xFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* path : {"msg.txt", "-"}) {
            FakePlatform platform;
            platform.files[path] = c.content;
            const RunResult r = run(platform, {"-r", "ann", "--text-file", path});
            EXPECT_EQ(r.status, ExitStatus::Sent);
            EXPECT_EQ(test::to_hex(platform.sent), packet_hex({"ann"}, c.text, 1));
        }
    }
}

TEST(ScriptSwitches, BadValuesAreRefusedAndNothingIsSent)
{
    struct Case {
        std::vector<const char*> args;
        std::string err;
    };
    const std::string ms = " needs a whole number of milliseconds from ";
    const Case cases[] = {
        {{"--timeout", "abc"}, "ravlet: --timeout" + ms + "1 to 2147483647, not 'abc'\n"},
        {{"--timeout", "-5"}, "ravlet: --timeout" + ms + "1 to 2147483647, not '-5'\n"},
        {{"--timeout", "0"}, "ravlet: --timeout" + ms + "1 to 2147483647, not '0'\n"},
        {{"--timeout", "2147483648"}, "ravlet: --timeout" + ms + "1 to 2147483647, not '2147483648'\n"},
        {{"--timeout", "99999999999999999999"}, "ravlet: --timeout" + ms + "1 to 2147483647, not '99999999999999999999'\n"},
        {{"--timeout", "1e3"}, "ravlet: --timeout" + ms + "1 to 2147483647, not '1e3'\n"},
        {{"--timeout", ""}, "ravlet: --timeout needs a value\n"},
        // A refusal stays on one line, whatever the value holds.
        {{"--timeout", "1\r\n2"}, "ravlet: --timeout" + ms + "1 to 2147483647, not '1\\x0D\\x0A2'\n"},
        {{"--timeout", "5", "1\n2"}, "ravlet: --timeout takes one value; '1\\x0A2' is one too many\n"},
        {{"--timeout"}, "ravlet: --timeout needs a value\n"},
        {{"--timeout", "10", "20"}, "ravlet: --timeout takes one value; '20' is one too many\n"},
        {{"--wait", "+5"}, "ravlet: --wait" + ms + "0 to 2147483647, not '+5'\n"},
        {{"--quiet", "bob"}, "ravlet: --quiet takes no value, but was given 'bob'\n"},
        {{"--text-file", "msg.txt", "-m", "hi"}, "ravlet: --text-file and -m cannot be given together\n"},
        {{"--text-file"}, "ravlet: --text-file needs a path, or - for standard input\n"},
        {{"--text-file", "missing.txt"}, "ravlet: cannot read missing.txt: No such file or directory\n"},
        {{"--text-file", "nul.txt"}, "ravlet: the text in nul.txt holds a NUL byte at offset 2, which a message cannot carry\n"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> args = {"-r", "ann"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (std::string(c.args[0]) != "--text-file")
            args.insert(args.end(), {"-m", "hi"});
        SCOPED_TRACE(c.err);
        FakePlatform platform;
        platform.files["msg.txt"] = "hi";
        platform.files["nul.txt"] = std::string("hi\0there", 8);
        const RunResult r = run(platform, args);
        EXPECT_EQ(r.status, ExitStatus::NotSent);
        EXPECT_EQ(r.out, std::string(c.args[0]) == "--quiet" ? "" : BANNER);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(platform.sends, 0);
    }
}

TEST(ScriptSwitches, UsageRulesStandWithTheNewSwitches)
{
    for (const std::vector<const char*>& args : std::vector<std::vector<const char*>>{
             {"--text-file", "msg.txt"}, {"-r", "--text-file", "msg.txt"}, {"-r", "ann", "--wait", "10"}}) {
        FakePlatform platform;
        platform.files["msg.txt"] = "hi";
        const RunResult r = run(platform, args);
        EXPECT_EQ(r.status, ExitStatus::NotSent);
        EXPECT_EQ(r.out, BANNER + USAGE);
        EXPECT_EQ(platform.sends, 0);
    }
}

TEST(SendDriver, ExitStatusValues)
{
    EXPECT_EQ(static_cast<int>(ExitStatus::Sent), 0);
    EXPECT_EQ(static_cast<int>(ExitStatus::NotSent), -1);
    EXPECT_EQ(static_cast<int>(ExitStatus::Fatal), 1);
}

// Memory running out at each allocation of a run in turn: the run never sends
// and always ends in a specified way: the out-of-memory line while the table
// or the packet is made, the usage block while the values are gathered.
TEST(SendDriver, ExhaustedMemoryNeverSends)
{
    const std::vector<const char*> args = {"-r", "ann", "bob", "eve", "-m", "hi", "-p", "high"};
    bool saw_fatal = false;
    bool saw_usage = false;
    for (long budget = 0;; ++budget) {
        SCOPED_TRACE(budget);
        FakePlatform platform;
        platform.looked_up.reserve(4);
        std::vector<const char*> argv = args;
        argv.insert(argv.begin(), "ravlet");
        CapturedStream out;
        CapturedStream err;
        const long failed_before = test::allocations_failed;
        test::allocations_left = budget;
        const ExitStatus status = run_send(static_cast<int>(argv.size()), argv.data(), platform, out, err);
        const bool exhausted = test::allocations_failed != failed_before;
        test::allocations_left = -1;

        if (!exhausted) {
            EXPECT_EQ(status, ExitStatus::Sent);
            EXPECT_EQ(test::to_hex(platform.sent), packet_hex({"ann", "bob", "eve"}, "hi", 2));
            break;
        }
        EXPECT_EQ(platform.sends, 0);
        if (status == ExitStatus::Fatal) {
            saw_fatal = true;
            EXPECT_EQ(out.text, BANNER);
            EXPECT_EQ(err.text, "Fatal Error: out of memory\n");
        } else {
            saw_usage = true;
            EXPECT_EQ(status, ExitStatus::NotSent);
            EXPECT_EQ(out.text, BANNER + USAGE);
            EXPECT_EQ(err.text, "");
        }
        if (budget == 0) {
            EXPECT_EQ(status, ExitStatus::Fatal) << "the first allocation is the table's";
        }
    }
    EXPECT_TRUE(saw_fatal);
    EXPECT_TRUE(saw_usage);
}

TEST(SendDriver, OutOfMemoryWhenThePacketCannotBeAllocated)
{
    // The last allocation of a run is the packet block: fail exactly there.
    const std::vector<const char*> args = {"ravlet", "-r", "ann", "-m", "hi"};
    long total = 0;
    {
        FakePlatform platform;
        platform.looked_up.reserve(4);
        CapturedStream out;
        CapturedStream err;
        test::allocations_left = 1000000;
        run_send(static_cast<int>(args.size()), args.data(), platform, out, err);
        total = 1000000 - test::allocations_left;
        test::allocations_left = -1;
    }
    FakePlatform platform;
    platform.looked_up.reserve(4);
    CapturedStream out;
    CapturedStream err;
    test::allocations_left = total - 1;
    const ExitStatus status = run_send(static_cast<int>(args.size()), args.data(), platform, out, err);
    test::allocations_left = -1;
    EXPECT_EQ(status, ExitStatus::Fatal);
    EXPECT_EQ(err.text, "Fatal Error: out of memory\n");
    EXPECT_TRUE(platform.looked_up.empty());
}

} // namespace
} // namespace ravlet
