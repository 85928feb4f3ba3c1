// The built ravlet against the built ravlet-listen, as real processes, each
// test in a desktop directory of its own.
#include "packet/message_packet.h"
#include "platform/copydata_frame.h"
#include "platform/posix_desktop.h"
#include "posix_process.h"
#include "ravlet_version.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ravlet {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::Finished;
using Clock = std::chrono::steady_clock;
using namespace std::string_literals;

const std::string BANNER = test::expected_banner("\n");
const std::string SENT = BANNER + "Message has been sent.\n";
const std::string NOT_FOUND = BANNER + "Corvane not found.\n";
const std::string READY = "is listening";


class EndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ravlet-e2e-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        runtime_dir_ = pattern;
        ::setenv("XDG_RUNTIME_DIR", runtime_dir_.c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("XDG_RUNTIME_DIR");
        std::error_code ignored;
        fs::remove_all(runtime_dir_, ignored);
    }

    static Finished ravlet(std::vector<std::string> args)
    {
        args.insert(args.begin(), RAVLET_EXE);
        return test::run_process(args);
    }
    // Starts a listener and waits until its window is there.
    static std::unique_ptr<ChildProcess> listen(std::vector<std::string> args)
    {
        args.insert(args.begin(), RAVLET_LISTEN_EXE);
        auto child = std::make_unique<ChildProcess>(args);
        EXPECT_TRUE(child->wait_for_err(READY)) << "listener did not start";
        return child;
    }
    std::string socket_path() const { return runtime_dir_ + "/wm-copydata/Corvane.NET"; }

    // Connects to the listener's socket as a raw client.
    UniqueFd connect_raw() const
    {
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
        const sockaddr_un address = socket_address(socket_path());
        EXPECT_EQ(::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        return fd;
    }

    std::string runtime_dir_;
};

TEST_F(EndToEnd, MessagesArriveAsSent)
{
    struct Case {
        std::vector<std::string> args;
        std::string line; // what the listener prints
    };
    const std::vector<Case> cases = {
        {{"-r", "ann", "-m", "hi"}, "priority=normal to=\"ann\" text=\"hi\""},
        {{"-m", "hi", "-r", "ann", "bob"}, "priority=normal to=\"ann\",\"bob\" text=\"hi\""},
        {{"-r", "ann", "bob", "-m", "hi", "there"}, "priority=normal to=\"ann\",\"bob\" text=\"hi\""},
        {{"-r", "Ann Lee", "-m", "hi there", "-p", "HIGH"}, "priority=high to=\"Ann Lee\" text=\"hi there\""},
        {{"-p", "low", "high", "-r", "a\"b", "c\\d", "-m", "*"}, "priority=low to=\"a\\\"b\",\"c\\\\d\" text=\"*\""},
        {{"-r", "ann", "", "-m", ""}, ""}, // usage stop: nothing arrives
        {{"-r", "ann", "-5", "-m", "\t\xC4\xE4", "-p", "urgent"},
         "priority=normal to=\"ann\",\"-5\" text=\"\\x09\\xC4\\xE4\""},
    };
    auto listener = listen({"--count", "6"});
    std::string expected_log;
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const Finished r = ravlet(c.args);
        if (c.line.empty()) {
            EXPECT_EQ(r.exit_code, 255);
            EXPECT_TRUE(r.out.starts_with(BANNER + "required argument is missing.\n")) << r.out;
            continue;
        }
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, SENT);
        EXPECT_EQ(r.err, "");
        expected_log += "#" + std::to_string(++number) + " " + c.line + "\n";
    }
    const Finished listened = listener->finish();
    EXPECT_EQ(listened.exit_code, 0);
    EXPECT_EQ(listened.out, expected_log);
}

TEST_F(EndToEnd, UsageStopAndNotFound)
{
    const Finished usage = ravlet({});
    EXPECT_EQ(usage.exit_code, 255);
    EXPECT_EQ(usage.out, BANNER + test::expected_usage("\n"));
    EXPECT_EQ(usage.err, "");

    const Finished missing = ravlet({"-r", "ann", "-m", "hi"});
    EXPECT_EQ(missing.exit_code, 255);
    EXPECT_EQ(missing.out, NOT_FOUND);

    // A listener that has ended leaves nothing behind that could be found.
    {
        auto listener = listen({"--count", "1"});
        EXPECT_EQ(ravlet({"-r", "a", "-m", "b"}).exit_code, 0);
        EXPECT_EQ(listener->finish().exit_code, 0);
    }
    EXPECT_FALSE(fs::exists(socket_path()));
    EXPECT_EQ(ravlet({"-r", "ann", "-m", "hi"}).out, NOT_FOUND);
}

TEST_F(EndToEnd, ToolWaitsForTheListenersResult)
{
    for (const char* reply : {"0", "-1", "7"}) {
        auto listener = listen({"--count", "1", "--delay-ms", "600", "--reply", reply});
        const auto start = Clock::now();
        const Finished r = ravlet({"-r", "ann", "-m", "hi"});
        const auto waited = Clock::now() - start;
        EXPECT_EQ(r.exit_code, 0) << "the result " << reply << " is not examined";
        EXPECT_EQ(r.out, SENT);
        EXPECT_GE(waited, std::chrono::milliseconds(600));
        EXPECT_EQ(listener->finish().exit_code, 0);
    }
}

TEST_F(EndToEnd, ManyRecipientsAndALongText)
{
    std::vector<std::string> args = {"-r"};
    std::string expected = "#1 priority=normal to=";
    for (int i = 0; i < 5000; ++i) {
        args.push_back("r" + std::to_string(i));
        expected += (i ? ",\"r" : "\"r") + std::to_string(i) + "\"";
    }
    const std::string text(100000, 'x');
    args.insert(args.end(), {"-m", text});
    expected += " text=\"" + text + "\"\n";

    auto listener = listen({"--count", "1"});
    const Finished r = ravlet(args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(listener->finish().out, expected);
}

TEST_F(EndToEnd, ListenerRefusesASecondWindowAndReplacesAStaleSocket)
{
    auto first = listen({"--count", "1"});
    const Finished second = test::run_process({RAVLET_LISTEN_EXE});
    EXPECT_EQ(second.exit_code, 1);
    EXPECT_EQ(second.err, "ravlet-listen: a window titled \"Corvane.NET\" is already listening\n");
    EXPECT_EQ(ravlet({"-r", "a", "-m", "b"}).exit_code, 0) << "the first still serves";
    EXPECT_EQ(first->finish().exit_code, 0);

    {
        // A socket whose listener has gone.
        UniqueFd stale(::socket(AF_UNIX, SOCK_STREAM, 0));
        const sockaddr_un address = socket_address(socket_path());
        ASSERT_EQ(::bind(stale.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    }
    EXPECT_EQ(ravlet({"-r", "a", "-m", "b"}).out, NOT_FOUND);
    auto replacing = listen({"--count", "1"});
    EXPECT_EQ(ravlet({"-r", "a", "-m", "b"}).exit_code, 0);
    EXPECT_EQ(replacing->finish().exit_code, 0);
}

TEST_F(EndToEnd, ListenerRefusesADesktopThatIsNotPrivate)
{
    ASSERT_EQ(::mkdir((runtime_dir_ + "/wm-copydata").c_str(), 0755), 0);
    ::chmod((runtime_dir_ + "/wm-copydata").c_str(), 0755);
    const Finished r = test::run_process({RAVLET_LISTEN_EXE});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "ravlet-listen: refusing the desktop directory: " + runtime_dir_ +
                         "/wm-copydata is open to group or others (want mode 0700)\n");
}

TEST_F(EndToEnd, BadFramesAndSilentClientsDoNotStopTheListener)
{
    auto listener = listen({"--count", "2"});
    const auto frame = [](std::uint32_t message, std::uint32_t size) {
        const auto header = encode_copydata_header(message, size, 0, 0);
        return std::string(header.begin(), header.end());
    };
    struct Bad {
        std::string bytes;
        std::string error;
    };
    const Bad bad[] = {
        {frame(0x4B, 0), "ravlet-listen: bad frame: message 75 is not WM_COPYDATA (74); connection closed\n"},
        {frame(0x4A, (64u << 20) + 1),
         "ravlet-listen: bad frame: cbData 67108865 is over the 64 MiB limit; connection closed\n"},
        {frame(0x4A, 10) + "abc", "ravlet-listen: truncated frame: 10 data bytes announced; connection closed\n"},
        {"\x4A\x00", "ravlet-listen: truncated frame header; connection closed\n"},
    };
    for (const Bad& b : bad) {
        UniqueFd client = connect_raw();
        ASSERT_EQ(::send(client.get(), b.bytes.data(), b.bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(b.bytes.size()));
        ::shutdown(client.get(), SHUT_WR);
        char reply[8];
        EXPECT_EQ(::recv(client.get(), reply, sizeof reply, 0), 0) << "closed without a result";
        EXPECT_TRUE(listener->wait_for_err(b.error)) << b.error;
    }

    // A malformed packet in a good frame is a message: reported and counted.
    const std::string packet = "CV31\x09\0\0\0\x10\0\0\0\x14\0\0\0a\0b\0"s;
    {
        UniqueFd client = connect_raw();
        const std::string bytes = frame(0x4A, static_cast<std::uint32_t>(packet.size())) + packet;
        ::send(client.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        char reply[8];
        EXPECT_EQ(::recv(client.get(), reply, sizeof reply, MSG_WAITALL), 8);
    }
    EXPECT_TRUE(listener->wait_for_err("ravlet-listen: message #1 is malformed: priority is not 0, 1 or 2 (20 bytes)\n"));

    // A client that connects and says nothing holds the others up only briefly.
    UniqueFd silent = connect_raw();
    const auto start = Clock::now();
    const Finished r = ravlet({"-r", "ann", "-m", "hi"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(listener->wait_for_err("frame not sent in time"));

    const Finished listened = listener->finish();
    EXPECT_EQ(listened.exit_code, 1) << "one message was malformed";
    EXPECT_EQ(listened.out, "#2 priority=normal to=\"ann\" text=\"hi\"\n");
}

TEST_F(EndToEnd, SignalsEndTheListenerCleanly)
{
    for (int sig : {SIGTERM, SIGINT}) {
        auto listener = listen({});
        EXPECT_EQ(ravlet({"-r", "a", "-m", "b"}).exit_code, 0);
        listener->signal(sig);
        const Finished r = listener->finish();
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_FALSE(fs::exists(socket_path())) << "socket removed";
    }
}

TEST_F(EndToEnd, ListenerCommandLine)
{
    const Finished help = test::run_process({RAVLET_LISTEN_EXE, "--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_TRUE(help.out.starts_with("usage: ravlet-listen ")) << help.out;

    struct Bad {
        std::vector<std::string> args;
        std::string err;
    };
    const Bad bad[] = {
        {{"--bogus"}, "ravlet-listen: unknown option '--bogus' (see --help)\n"},
        {{"--count"}, "ravlet-listen: --count needs a value (see --help)\n"},
        {{"--count", "0"}, "ravlet-listen: --count needs a whole number of at least 1, not '0'\n"},
        {{"--reply=x"}, "ravlet-listen: --reply needs a whole number, not 'x'\n"},
        {{"--delay-ms", "-1"}, "ravlet-listen: --delay-ms needs a whole number of milliseconds, not '-1'\n"},
        {{"--title="}, "ravlet-listen: --title needs a non-empty title\n"},
        {{"--hex=no"}, "ravlet-listen: --hex takes no value (see --help)\n"},
        {{"--help=x"}, "ravlet-listen: --help takes no value (see --help)\n"},
    };
    for (const Bad& b : bad) {
        std::vector<std::string> args = b.args;
        args.insert(args.begin(), RAVLET_LISTEN_EXE);
        const Finished r = test::run_process(args);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.err, b.err);
        EXPECT_EQ(r.out, "");
    }

    for (const std::string& title : {"a/b"s, "."s, ".."s, std::string(200, 't')}) {
        const Finished bad_title = test::run_process({RAVLET_LISTEN_EXE, "--title", title});
        EXPECT_EQ(bad_title.exit_code, 2) << title;
        EXPECT_EQ(bad_title.err, "ravlet-listen: the title \"" + title + "\" cannot name a window socket in " +
                                     runtime_dir_ + "/wm-copydata\n");
    }

    auto other = listen({"--title", "Other", "--count", "1", "--hex"});
    EXPECT_EQ(ravlet({"-r", "a", "-m", "b"}).out, NOT_FOUND) << "only the title Corvane.NET is looked for";
    other->signal(SIGTERM);
    EXPECT_EQ(other->finish().out, "");
}

// Faults on the messenger's side and on the console: the tool never crashes,
// never hangs where it need not, and reports what happened.
TEST_F(EndToEnd, ListenerKilledWhileHoldingTheMessage)
{
    auto listener = listen({"--delay-ms", "60000"});
    ChildProcess tool({RAVLET_EXE, "-r", "ann", "-m", "hi"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the listener now holds the message
    const auto start = Clock::now();
    listener->signal(SIGKILL);
    const Finished r = tool.finish();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(r.out, NOT_FOUND);
}

TEST_F(EndToEnd, ToolWaitsForASilentListenerUntilItEnds)
{
    auto listener = listen({"--delay-ms", "600000"});
    ChildProcess tool({RAVLET_EXE, "-r", "ann", "-m", "hi"});
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(tool.running()) << "the hand-over has no time limit";
    listener->signal(SIGTERM);
    const Finished r = tool.finish();
    EXPECT_EQ(r.exit_code, 255) << "ended without handling the message";
    EXPECT_EQ(r.out, NOT_FOUND);
    const Finished listened = listener->finish();
    EXPECT_EQ(listened.exit_code, 0);
    EXPECT_EQ(listened.out, "") << "a message its sender was told is not delivered is not printed";
    EXPECT_NE(listened.err.find("stopped while holding a message; it was not answered"), std::string::npos);
}

TEST_F(EndToEnd, NoDesktopNoWindow)
{
    const std::string desktop = runtime_dir_ + "/wm-copydata";
    struct Case {
        const char* what;
        std::function<void()> spoil;
        std::function<void()> mend;
    };
    auto listener = listen({});
    const Case cases[] = {
        {"not private", [&] { ::chmod(desktop.c_str(), 0755); }, [&] { ::chmod(desktop.c_str(), 0700); }},
        {"shut to its owner", [&] { ::chmod(desktop.c_str(), 0000); }, [&] { ::chmod(desktop.c_str(), 0700); }},
        {"missing", [&] { ::rename(desktop.c_str(), (desktop + ".away").c_str()); },
         [&] { ::rename((desktop + ".away").c_str(), desktop.c_str()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.spoil();
        EXPECT_EQ(ravlet({"-r", "ann", "-m", "hi"}).out, NOT_FOUND);
        c.mend();
    }
    ::setenv("XDG_RUNTIME_DIR", (runtime_dir_ + "/no-such-dir").c_str(), 1);
    EXPECT_EQ(ravlet({"-r", "ann", "-m", "hi"}).out, NOT_FOUND);
    ::setenv("XDG_RUNTIME_DIR", runtime_dir_.c_str(), 1);

    listener->signal(SIGTERM);
    EXPECT_EQ(listener->finish().out, "") << "nothing was sent";
}

TEST_F(EndToEnd, ConsoleFailuresDoNotChangeTheOutcome)
{
    auto listener = listen({"--count", "3"});
    for (test::Stdout out : {test::Stdout::Closed, test::Stdout::Full, test::Stdout::ReaderGone}) {
        const Finished r = test::run_process({RAVLET_EXE, "-r", "ann", "-m", "hi"}, out);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
    }
    const Finished listened = listener->finish();
    EXPECT_EQ(listened.out, "#1 priority=normal to=\"ann\" text=\"hi\"\n"
                            "#2 priority=normal to=\"ann\" text=\"hi\"\n"
                            "#3 priority=normal to=\"ann\" text=\"hi\"\n");
}

// Every byte from 0x01 to 0xFF, in a recipient and in the text, arrives as given.
TEST_F(EndToEnd, EveryByteValueArrives)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string x_all = "x" + all;
    auto listener = listen({"--count", "1", "--hex"});
    EXPECT_EQ(ravlet({"-r", all, x_all, "-m", all}).exit_code, 0);
    const std::string_view recipients[] = {all, x_all};
    const MessagePacket packet = build_packet(recipients, all, Priority::Normal);
    const std::string out = listener->finish().out;
    EXPECT_NE(out.find("\n  " + test::to_hex(packet.bytes()) + "\n"), std::string::npos) << out.substr(0, 300);
}

TEST_F(EndToEnd, LargestArgumentAndThousandsOfRecipients)
{
    // Linux takes at most 32 pages in one argument, its terminator included.
    const std::string largest(32 * 4096 - 1, 'y');
    std::vector<std::string> args = {"-m", largest, "-r"};
    for (int i = 0; i < 20000; ++i)
        args.push_back(std::to_string(i));
    auto listener = listen({"--count", "1"});
    const Finished r = ravlet(args);
    EXPECT_EQ(r.exit_code, 0);
    const std::string out = listener->finish().out;
    EXPECT_NE(out.find("\"19998\",\"19999\" text=\"" + largest + "\"\n"), std::string::npos);
}

// Many senders at once: every message arrives exactly once, whole, and
// none mixed with another, while a sender that says nothing is waiting too.
TEST_F(EndToEnd, TwoHundredSendersAtOnce)
{
    constexpr int SENDERS = 200;
    auto listener = listen({"--count", std::to_string(SENDERS)});
    UniqueFd silent = connect_raw();
    const char* words[] = {"low", "normal", "high"};
    std::vector<std::unique_ptr<ChildProcess>> tools;
    std::vector<std::string> expected;
    for (int i = 0; i < SENDERS; ++i) {
        const std::string n = std::to_string(i);
        const std::string text = "message " + n + " " + std::string(static_cast<std::size_t>(i * 37 % 3000), 'a' + static_cast<char>(i % 26));
        tools.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{
            RAVLET_EXE, "-r", "user" + n, "team" + n, "-m", text, "-p", words[i % 3]}));
        expected.push_back("priority=" + std::string(words[i % 3]) + " to=\"user" + n + "\",\"team" + n +
                           "\" text=\"" + text + "\"");
    }
    int sent = 0;
    for (auto& tool : tools) {
        const Finished r = tool->finish();
        sent += (r.exit_code == 0 && r.out == SENT) ? 1 : 0;
    }
    EXPECT_EQ(sent, SENDERS);
    const Finished listened = listener->finish();
    EXPECT_EQ(listened.exit_code, 0);

    std::vector<std::string> received;
    EXPECT_TRUE(test::numbered_messages(listened.out, "\n", received)) << listened.out.substr(0, 200);
    std::sort(expected.begin(), expected.end());
    std::sort(received.begin(), received.end());
    EXPECT_EQ(received, expected);
}

// The listener under stress: a stop with its output blocked, closed standard
// streams, listeners racing for one title, and senders that misuse the record.
TEST_F(EndToEnd, StopEndsTheListenerWhileItsOutputIsBlocked)
{
    ChildProcess listener({RAVLET_LISTEN_EXE}, test::Stdout::Unread);
    ASSERT_TRUE(listener.wait_for_err(READY));
    // The first line fills most of the pipe; the second cannot get out.
    const std::string text(60000, 'x');
    std::vector<std::unique_ptr<ChildProcess>> tools;
    for (int i = 0; i < 3; ++i) {
        tools.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{RAVLET_EXE, "-r", "user" + std::to_string(i), "-m", text}));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(listener.running());
    const auto start = Clock::now();
    listener.signal(SIGTERM);
    const Finished listened = listener.finish();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(listened.signal, 0);
    EXPECT_NE(listened.err.find("stopped while printing a message; it was not answered"), std::string::npos)
        << listened.err;

    // Every sender told "sent" has its whole line, and no other line is whole.
    std::string whole_lines;
    for (std::size_t at = 0, end; (end = listened.out.find('\n', at)) != std::string::npos; at = end + 1)
        whole_lines += listened.out.substr(at, listened.out.find(' ', listened.out.find("to=", at)) - at) + "\n";
    std::string sent_to;
    for (int i = 0; i < 3; ++i) {
        const Finished r = tools[static_cast<std::size_t>(i)]->finish();
        if (r.exit_code == 0)
            sent_to += "#" + std::to_string(sent_to.empty() ? 1 : 2) + " priority=normal to=\"user" + std::to_string(i) +
                       "\"\n";
        else
            EXPECT_EQ(r.out, NOT_FOUND);
    }
    EXPECT_EQ(whole_lines, sent_to);
    EXPECT_EQ(sent_to.substr(0, sent_to.find('\n')), "#1 priority=normal to=\"user0\"");
}

TEST_F(EndToEnd, ListenerWithClosedStandardStreamsAnswersOnlyWithResults)
{
    ChildProcess listener({RAVLET_LISTEN_EXE, "--count", "1"}, test::Stdout::BothClosed);
    for (int i = 0; i < 200 && !fs::exists(socket_path()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string packet = "CV31\x09\0\0\0\x10\0\0\0\x14\0\0\0a\0b\0"s; // malformed: priority 9
    const auto header = encode_copydata_header(0x4A, static_cast<std::uint32_t>(packet.size()), 0, 0);
    UniqueFd client = connect_raw();
    const std::string frame = std::string(header.begin(), header.end()) + packet;
    ASSERT_EQ(::send(client.get(), frame.data(), frame.size(), MSG_NOSIGNAL), static_cast<ssize_t>(frame.size()));
    char reply[16] = {};
    EXPECT_EQ(::recv(client.get(), reply, sizeof reply, MSG_WAITALL), 8);
    EXPECT_EQ(test::to_hex(std::string_view(reply, 8)), "01 00 00 00 00 00 00 00");
    const Finished listened = listener.finish();
    EXPECT_EQ(listened.exit_code, 1) << "the message was malformed";
}

TEST_F(EndToEnd, OneOwnerAmongListenersStartedTogether)
{
    for (int trial = 0; trial < 40; ++trial) { // the race needs many tries to show
        SCOPED_TRACE(trial);
        {
            // A stale socket, which each of them would like to replace.
            fs::create_directories(runtime_dir_ + "/wm-copydata");
            fs::permissions(runtime_dir_ + "/wm-copydata", fs::perms::owner_all);
            UniqueFd stale(::socket(AF_UNIX, SOCK_STREAM, 0));
            const sockaddr_un address = socket_address(socket_path());
            ASSERT_EQ(::bind(stale.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        }
        std::vector<std::unique_ptr<ChildProcess>> listeners;
        for (int i = 0; i < 8; ++i)
            listeners.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{RAVLET_LISTEN_EXE}));
        std::unique_ptr<ChildProcess>* owner = nullptr;
        int refused = 0;
        for (auto& listener : listeners) {
            if (listener->wait_for_err(READY, std::chrono::seconds(5))) {
                EXPECT_EQ(owner, nullptr) << "two listeners own the title";
                owner = &listener;
                continue;
            }
            const Finished r = listener->finish();
            EXPECT_EQ(r.exit_code, 1);
            EXPECT_EQ(r.err, "ravlet-listen: a window titled \"Corvane.NET\" is already listening\n");
            ++refused;
        }
        ASSERT_NE(owner, nullptr);
        EXPECT_EQ(refused, 7);
        EXPECT_EQ(ravlet({"-r", "a", "-m", "b"}).exit_code, 0) << "the owner serves the title's socket";
        (*owner)->signal(SIGTERM);
        EXPECT_EQ((*owner)->finish().out, "#1 priority=normal to=\"a\" text=\"b\"\n");
    }
}

TEST_F(EndToEnd, ListenerShowsAndChecksWParamAndDwData)
{
    auto listener = listen({"--count", "2", "--hex"});
    const MessagePacket packet = build_packet(std::vector<std::string_view>{"ann"}, "hi", Priority::Normal);
    for (const auto& [w_param, dw_data] : {std::pair<std::uint64_t, std::uint64_t>{0x1234, 0xDEADBEEF}, {0, 0}}) {
        const auto header = encode_copydata_header(0x4A, packet.size(), w_param, dw_data);
        const std::string frame = std::string(header.begin(), header.end()) +
                                  std::string(reinterpret_cast<const char*>(packet.data()), packet.size());
        UniqueFd client = connect_raw();
        ASSERT_EQ(::send(client.get(), frame.data(), frame.size(), MSG_NOSIGNAL), static_cast<ssize_t>(frame.size()));
        char reply[8];
        EXPECT_EQ(::recv(client.get(), reply, sizeof reply, MSG_WAITALL), 8);
    }
    const Finished listened = listener->finish();
    EXPECT_EQ(listened.exit_code, 1);
    const std::string hex = "  " + test::to_hex(packet.bytes()) + "\n";
    EXPECT_NE(listened.err.find("ravlet-listen: message #1 is malformed: wParam is 0x1234, not 0 (23 bytes)\n" + hex +
                                "  wParam=0x1234 dwData=0xDEADBEEF\n"),
              std::string::npos)
        << listened.err;
    EXPECT_EQ(listened.out, "#2 priority=normal to=\"ann\" text=\"hi\"\n" + hex + "  wParam=0x0 dwData=0x0\n");
}

TEST_F(EndToEnd, ListenerMakesAPrivateDesktopWhateverTheUmask)
{
    const mode_t old = ::umask(0277);
    auto listener = listen({"--count", "1"});
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat((runtime_dir_ + "/wm-copydata").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(ravlet({"-r", "a", "-m", "b"}).exit_code, 0);
    EXPECT_EQ(listener->finish().exit_code, 0);
}

// The opt-in switches for scripts, between real processes.
TEST_F(EndToEnd, TimeoutGivesUpOnAHungListener)
{
    auto listener = listen({"--delay-ms", "600000"});
    const auto start = Clock::now();
    const Finished r = ravlet({"-r", "ann", "-m", "hi", "--timeout", "700"});
    const auto took = Clock::now() - start;
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, BANNER + "Corvane did not answer in time.\n");
    EXPECT_EQ(r.err, "");
    EXPECT_GE(took, std::chrono::milliseconds(690));
    EXPECT_LT(took, std::chrono::milliseconds(1700));
    listener->signal(SIGTERM);
    EXPECT_EQ(listener->finish().out, "");

    auto prompt = listen({"--count", "1"});
    EXPECT_EQ(ravlet({"-r", "ann", "-m", "hi", "--timeout", "5000"}).out, SENT);
    EXPECT_EQ(prompt->finish().exit_code, 0);
}

TEST_F(EndToEnd, WaitFindsAListenerStartedAfterTheTool)
{
    ChildProcess tool({RAVLET_EXE, "--wait", "5000", "-r", "ann", "-m", "hi"});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(tool.running());
    auto listener = listen({"--count", "1"});
    const Finished r = tool.finish();
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, SENT);
    EXPECT_EQ(listener->finish().out, "#1 priority=normal to=\"ann\" text=\"hi\"\n");

    const auto start = Clock::now();
    const Finished missing = ravlet({"--wait", "300", "-r", "ann", "-m", "hi"});
    EXPECT_EQ(missing.exit_code, 255);
    EXPECT_EQ(missing.out, NOT_FOUND);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(290));
}

TEST_F(EndToEnd, TextFromAFileAndFromAPipeArrivesByteForByte)
{
    const std::string text = "Line one\r\nLine two, with \"quotes\", % ^ ! and \\\nlast line\r\n";
    const std::string file = runtime_dir_ + "/message.txt";
    {
        std::FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    const std::string expected = test::listener_line(1, "high", {"ops"}, text.substr(0, text.size() - 2)) + "\n";

    auto from_file = listen({"--count", "1"});
    EXPECT_EQ(ravlet({"-r", "ops", "--text-file", file, "-p", "high"}).out, SENT);
    EXPECT_EQ(from_file->finish().out, expected);

    auto from_pipe = listen({"--count", "1"});
    const Finished piped = test::run_process(
        {"/bin/sh", "-c", "cat \"$0\" | \"$1\" -r ops --text-file - -p high --quiet", file, RAVLET_EXE});
    EXPECT_EQ(piped.exit_code, 0);
    EXPECT_EQ(piped.out, "Message has been sent.\n");
    EXPECT_EQ(from_pipe->finish().out, expected);
}

TEST_F(EndToEnd, RefusedTextsSendNothing)
{
    const std::string nul_file = runtime_dir_ + "/nul.txt";
    {
        std::FILE* f = std::fopen(nul_file.c_str(), "wb");
        std::fwrite("a\0b", 1, 3, f);
        std::fclose(f);
    }
    auto listener = listen({});
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"--text-file", runtime_dir_ + "/none.txt"},
         "ravlet: cannot read " + runtime_dir_ + "/none.txt: No such file or directory\n"},
        {{"--text-file", runtime_dir_}, "ravlet: cannot read " + runtime_dir_ + ": Is a directory\n"},
        {{"--text-file", nul_file},
         "ravlet: the text in " + nul_file + " holds a NUL byte at offset 1, which a message cannot carry\n"},
        {{"--text-file", nul_file, "-m", "hi"}, "ravlet: --text-file and -m cannot be given together\n"},
        {{"--text-file", "/dev/zero"}, "ravlet: cannot read /dev/zero: longer than 67108864 bytes\n"},
        {{"-m", "hi", "--timeout", "abc"},
         "ravlet: --timeout needs a whole number of milliseconds from 1 to 2147483647, not 'abc'\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"-r", "ann"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Finished r = ravlet(args);
        EXPECT_EQ(r.exit_code, 255);
        EXPECT_EQ(r.out, BANNER);
        EXPECT_EQ(r.err, c.err);
    }
    listener->signal(SIGTERM);
    EXPECT_EQ(listener->finish().out, "") << "nothing was sent";
}

} // namespace
} // namespace ravlet
