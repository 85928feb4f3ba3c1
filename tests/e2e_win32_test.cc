// ravlet.exe against ravlet-listen.exe, as real processes on one desktop.
#include "packet/message_packet.h"
#include "ravlet_version.h"
#include "test_support.h"
#include "win32_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace ravlet {
namespace {

using test::run_child;
using test::Win32Child;
using test::Win32Finished;

const std::string BANNER = test::expected_banner("\r\n");
const std::string SENT = BANNER + "Message has been sent.\r\n";
const std::string NOT_FOUND = BANNER + "Corvane not found.\r\n";
const std::string READY = "is listening";
constexpr DWORD MINUS_ONE = 0xFFFFFFFF;

std::unique_ptr<Win32Child> listen(const std::string& arguments)
{
    auto child = std::make_unique<Win32Child>("ravlet-listen.exe", arguments);
    EXPECT_TRUE(child->wait_for_err(READY)) << "listener did not start: " << child->err_so_far();
    return child;
}

Win32Finished ravlet(const std::string& arguments)
{
    return run_child("ravlet.exe", arguments);
}

TEST(EndToEndWindows, CommandLinesArriveAsTyped)
{
    struct Case {
        std::string command_line;
        std::string line; // what the listener prints; empty for a usage stop
    };
    const Case cases[] = {
        {"-r ann -m hi", "priority=normal to=\"ann\" text=\"hi\""},
        {"-m hi -r ann bob", "priority=normal to=\"ann\",\"bob\" text=\"hi\""},
        {"-r \"Ann Lee\" -m \"hi there\" -p HIGH", "priority=high to=\"Ann Lee\" text=\"hi there\""},
        // A backslash before a quote escapes it; elsewhere it stands for itself.
        {R"(-r a\"b c:\dir\ "d:\x\\" -m *.txt -p low)",
         R"(priority=low to="a\"b","c:\\dir\\","d:\\x\\" text="*.txt")"},
        {"-r\tann  \"\" -m \"\" -p", ""},
        {"-r ann -5 -m \"\t\xC4\" -p urgent", "priority=normal to=\"ann\",\"-5\" text=\"\\x09\\xC4\""},
    };
    auto listener = listen("--count 5");
    std::string expected_log;
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command_line);
        const Win32Finished r = ravlet(c.command_line);
        if (c.line.empty()) {
            EXPECT_EQ(r.exit_code, MINUS_ONE);
            EXPECT_TRUE(r.out.starts_with(BANNER + "required argument is missing.\r\n")) << r.out;
            continue;
        }
        EXPECT_EQ(r.exit_code, 0u);
        EXPECT_EQ(r.out, SENT);
        EXPECT_EQ(r.err, "");
        expected_log += "#" + std::to_string(++number) + " " + c.line + "\r\n";
    }
    const Win32Finished listened = listener->finish();
    EXPECT_EQ(listened.exit_code, 0u);
    EXPECT_EQ(listened.out, expected_log);
}

TEST(EndToEndWindows, UsageStopAndNotFound)
{
    const Win32Finished usage = ravlet("");
    EXPECT_EQ(usage.exit_code, MINUS_ONE);
    EXPECT_EQ(usage.out, BANNER + test::expected_usage("\r\n"));
    const Win32Finished missing = ravlet("-r ann -m hi");
    EXPECT_EQ(missing.exit_code, MINUS_ONE);
    EXPECT_EQ(missing.out, NOT_FOUND);
}

TEST(EndToEndWindows, ToolWaitsForTheListenersResult)
{
    auto listener = listen("--count 1 --delay-ms 600 --reply 0");
    const ULONGLONG start = ::GetTickCount64();
    const Win32Finished r = ravlet("-r ann -m hi");
    EXPECT_GE(::GetTickCount64() - start, 590u);
    EXPECT_EQ(r.exit_code, 0u) << "the result 0 is not examined";
    EXPECT_EQ(r.out, SENT);
    EXPECT_EQ(listener->finish().exit_code, 0u);
}

TEST(EndToEndWindows, ManyRecipientsAndALongText)
{
    std::string command_line = "-r";
    std::string expected = "#1 priority=normal to=";
    for (int i = 0; i < 2000; ++i) {
        command_line += " r" + std::to_string(i);
        expected += (i ? ",\"r" : "\"r") + std::to_string(i) + "\"";
    }
    const std::string text(12000, 'x');
    command_line += " -m " + text;
    expected += " text=\"" + text + "\"\r\n";

    auto listener = listen("--count 1");
    EXPECT_EQ(ravlet(command_line).exit_code, 0u);
    EXPECT_EQ(listener->finish().out, expected);
}

TEST(EndToEndWindows, ListenerOwnsItsTitleUntilItsWindowCloses)
{
    auto listener = listen("");
    const Win32Finished second = run_child("ravlet-listen.exe", "");
    EXPECT_EQ(second.exit_code, 1u);
    EXPECT_EQ(second.err, "ravlet-listen: a window titled \"Corvane.NET\" already exists\r\n");

    EXPECT_EQ(ravlet("-r a -m b").exit_code, 0u);
    const HWND window = ::FindWindowA(nullptr, "Corvane.NET");
    ASSERT_NE(window, nullptr);
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    const Win32Finished listened = listener->finish();
    EXPECT_EQ(listened.exit_code, 0u);
    EXPECT_EQ(listened.out, "#1 priority=normal to=\"a\" text=\"b\"\r\n");
    EXPECT_EQ(ravlet("-r a -m b").out, NOT_FOUND);
}

TEST(EndToEndWindows, ListenerCommandLine)
{
    const Win32Finished help = run_child("ravlet-listen.exe", "--help");
    EXPECT_EQ(help.exit_code, 0u);
    EXPECT_TRUE(help.out.starts_with("usage: ravlet-listen ")) << help.out;
    const Win32Finished bad = run_child("ravlet-listen.exe", "--bogus");
    EXPECT_EQ(bad.exit_code, 2u);
    EXPECT_EQ(bad.err, "ravlet-listen: unknown option '--bogus' (see --help)\r\n");

    auto other = listen("--title \"Other window\" --count 1 --hex");
    EXPECT_EQ(ravlet("-r a -m b").out, NOT_FOUND) << "only the title Corvane.NET is looked for";
    const HWND window = ::FindWindowA(nullptr, "Other window");
    ASSERT_NE(window, nullptr);
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(other->finish().exit_code, 0u);
}

TEST(EndToEndWindows, ToolWaitsForAListenerThatHoldsTheMessageUntilItIsKilled)
{
    auto listener = listen("--delay-ms 600000");
    Win32Child tool("ravlet.exe", "-r ann -m hi");
    ::Sleep(2000); // the listener holds the message, and the tool waits for it
    EXPECT_TRUE(tool.running()) << "the hand-over has no time limit";
    const ULONGLONG start = ::GetTickCount64();
    listener->terminate();
    const Win32Finished r = tool.finish();
    EXPECT_LT(::GetTickCount64() - start, 5000u);
    EXPECT_EQ(r.exit_code, MINUS_ONE);
    EXPECT_EQ(r.out, NOT_FOUND);
}

// Every byte from 0x01 to 0xFF that a command line in this code page can
// carry arrives as given.
TEST(EndToEndWindows, EveryByteValueArrives)
{
    if (::GetACP() != 1252)
        GTEST_SKIP() << "written for code page 1252, not " << ::GetACP();
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    std::string quoted = "\"";
    for (char c : all)
        quoted += (c == '"') ? std::string("\\\"") : std::string(1, c);
    quoted += '"';

    auto listener = listen("--count 1");
    const Win32Finished r = ravlet("-r " + quoted + " -m " + quoted);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(listener->finish().out, test::listener_line(1, "normal", {all}, all) + "\r\n");
}

TEST(EndToEndWindows, LongestCommandLine)
{
    const std::string exe = test::beside_this_program("ravlet.exe");
    // The quoted path, a blank, then the arguments: 32,767 characters with
    // the terminator, the most CreateProcess takes.
    const std::size_t room = 32767 - 1 - (exe.size() + 3);
    std::string arguments = "-r";
    std::string recipients;
    for (int i = 0; arguments.size() < room - 12000; ++i) {
        arguments += " r" + std::to_string(i);
        recipients += (i ? ",\"r" : "\"r") + std::to_string(i) + "\"";
    }
    arguments += " -m ";
    const std::string text(room - arguments.size(), 't');
    arguments += text;
    ASSERT_EQ(exe.size() + 3 + arguments.size(), 32766u);

    auto listener = listen("--count 1");
    const Win32Finished r = ravlet(arguments);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(listener->finish().out, "#1 priority=normal to=" + recipients + " text=\"" + text + "\"\r\n");
}

// Many senders at once: every message arrives exactly once and whole.
TEST(EndToEndWindows, FiftySendersAtOnce)
{
    constexpr int SENDERS = 50;
    auto listener = listen("--count " + std::to_string(SENDERS));
    const char* words[] = {"low", "normal", "high"};
    std::vector<std::unique_ptr<Win32Child>> tools;
    std::vector<std::string> expected;
    for (int i = 0; i < SENDERS; ++i) {
        const std::string n = std::to_string(i);
        const std::string text = "message " + n + " " + std::string(static_cast<std::size_t>(i * 37 % 3000), 'a');
        tools.push_back(std::make_unique<Win32Child>(
            "ravlet.exe", "-r user" + n + " team" + n + " -m \"" + text + "\" -p " + words[i % 3]));
        expected.push_back("priority=" + std::string(words[i % 3]) + " to=\"user" + n + "\",\"team" + n +
                           "\" text=\"" + text + "\"");
    }
    int sent = 0;
    for (auto& tool : tools) {
        const Win32Finished r = tool->finish();
        sent += (r.exit_code == 0 && r.out == SENT) ? 1 : 0;
    }
    EXPECT_EQ(sent, SENDERS);
    const Win32Finished listened = listener->finish();
    EXPECT_EQ(listened.exit_code, 0u);

    std::vector<std::string> received;
    EXPECT_TRUE(test::numbered_messages(listened.out, "\r\n", received)) << listened.out.substr(0, 200);
    std::sort(expected.begin(), expected.end());
    std::sort(received.begin(), received.end());
    EXPECT_EQ(received, expected);
}

// The listener under stress: a count reached while others wait, listeners
// racing for one title, records that misuse their fields, a failed loop.
TEST(EndToEndWindows, CountEndsTheListenerEvenWithSendersWaiting)
{
    auto listener = listen("--count 1 --delay-ms 1500");
    Win32Child first("ravlet.exe", "-r first -m hi");
    ::Sleep(500);
    Win32Child second("ravlet.exe", "-r second -m hi");
    const Win32Finished r1 = first.finish();
    const Win32Finished r2 = second.finish();
    EXPECT_EQ(r1.exit_code, 0u);
    EXPECT_EQ(r1.out, SENT);
    EXPECT_EQ(r2.exit_code, MINUS_ONE) << "the window has gone for a later sender";
    EXPECT_EQ(r2.out, NOT_FOUND);
    const Win32Finished listened = listener->finish();
    EXPECT_EQ(listened.exit_code, 0u);
    EXPECT_EQ(listened.out, "#1 priority=normal to=\"first\" text=\"hi\"\r\n");
}

TEST(EndToEndWindows, OneOwnerAmongListenersStartedTogether)
{
    for (int trial = 0; trial < 3; ++trial) {
        SCOPED_TRACE(trial);
        std::vector<std::unique_ptr<Win32Child>> listeners;
        for (int i = 0; i < 4; ++i)
            listeners.push_back(std::make_unique<Win32Child>("ravlet-listen.exe", "--count 1"));
        Win32Child* owner = nullptr;
        for (auto& listener : listeners) {
            if (listener->wait_for_err(READY, std::chrono::seconds(10))) {
                EXPECT_EQ(owner, nullptr) << "two listeners own the title";
                owner = listener.get();
                continue;
            }
            const Win32Finished r = listener->finish();
            EXPECT_EQ(r.exit_code, 1u);
            EXPECT_EQ(r.err, "ravlet-listen: a window titled \"Corvane.NET\" already exists\r\n");
        }
        ASSERT_NE(owner, nullptr);
        EXPECT_EQ(ravlet("-r a -m b").exit_code, 0u);
        EXPECT_EQ(owner->finish().exit_code, 0u);
    }
}

TEST(EndToEndWindows, ListenerShowsAndChecksTheRecord)
{
    auto listener = listen("--count 3 --hex");
    const HWND window = ::FindWindowA(nullptr, "Corvane.NET");
    ASSERT_NE(window, nullptr);
    const MessagePacket packet = build_packet(std::vector<std::string_view>{"ann"}, "hi", Priority::Normal);
    const auto send = [&](WPARAM w_param, ULONG_PTR dw_data, const void* data, DWORD size) {
        COPYDATASTRUCT record{dw_data, size, const_cast<void*>(data)};
        return ::SendMessageA(window, WM_COPYDATA, w_param, reinterpret_cast<LPARAM>(&record));
    };
    EXPECT_EQ(send(0x1234, 0xDEADBEEF, packet.data(), packet.size()), 1);
    EXPECT_EQ(send(0, 0, nullptr, 0), 1);
    EXPECT_EQ(send(0, 0, packet.data(), packet.size()), 1);
    const Win32Finished listened = listener->finish();
    EXPECT_EQ(listened.exit_code, 1u);
    const std::string hex = "  " + test::to_hex(packet.bytes()) + "\r\n";
    EXPECT_NE(listened.err.find("ravlet-listen: message #1 is malformed: wParam is 0x1234, not 0 (23 bytes)\r\n" +
                                hex + "  wParam=0x1234 dwData=0xDEADBEEF\r\n"),
              std::string::npos)
        << listened.err;
    EXPECT_NE(listened.err.find("ravlet-listen: message #2 is malformed: shorter than the 16-byte header (0 bytes)"),
              std::string::npos)
        << listened.err;
    EXPECT_EQ(listened.out, "#3 priority=normal to=\"ann\" text=\"hi\"\r\n" + hex + "  wParam=0x0 dwData=0x0\r\n");
}

// Wine's message loop fails on a WM_COPYDATA of about 2 MB: the listener
// says so and fails, instead of ending as if closed.
TEST(EndToEndWindows, FailedMessageLoopIsReported)
{
    auto listener = listen("");
    const HWND window = ::FindWindowA(nullptr, "Corvane.NET");
    ASSERT_NE(window, nullptr);
    std::vector<std::uint8_t> big(3u << 20, 'x');
    COPYDATASTRUCT record{0, static_cast<DWORD>(big.size()), big.data()};
    ::SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
    ::Sleep(500);
    if (listener->running()) {
        ::PostMessageA(window, WM_CLOSE, 0, 0);
        const Win32Finished listened = listener->finish();
        GTEST_SKIP() << "this Wine's message loop took a 3 MB message: " << listened.err;
    }
    const Win32Finished listened = listener->finish();
    EXPECT_EQ(listened.exit_code, 1u);
    EXPECT_NE(listened.err.find("ravlet-listen: GetMessageA failed, error "), std::string::npos) << listened.err;
}

// The opt-in switches for scripts, against real windows.
TEST(ScriptSwitchesWindows, TimeoutGivesUpOnAHungListener)
{
    auto listener = listen("--delay-ms 600000");
    const ULONGLONG start = ::GetTickCount64();
    const Win32Finished r = ravlet("-r ann -m hi --timeout 700");
    const ULONGLONG took = ::GetTickCount64() - start;
    EXPECT_EQ(r.exit_code, 2u);
    EXPECT_EQ(r.out, BANNER + "Corvane did not answer in time.\r\n");
    EXPECT_EQ(r.err, "");
    EXPECT_GE(took, 690u);
    EXPECT_LT(took, 2500u) << "the limit and the start of a process";
    listener->terminate();
    listener->finish();

    auto prompt = listen("--count 1");
    EXPECT_EQ(ravlet("-r ann -m hi --timeout 5000").out, SENT);
    EXPECT_EQ(prompt->finish().exit_code, 0u);
}

TEST(ScriptSwitchesWindows, WaitFindsAListenerStartedAfterTheTool)
{
    Win32Child tool("ravlet.exe", "--wait 8000 -r ann -m hi");
    ::Sleep(500);
    EXPECT_TRUE(tool.running());
    auto listener = listen("--count 1");
    const Win32Finished r = tool.finish();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.out, SENT);
    EXPECT_EQ(listener->finish().out, "#1 priority=normal to=\"ann\" text=\"hi\"\r\n");
}

TEST(ScriptSwitchesWindows, TextFromAFileAndFromAPipeArrivesByteForByte)
{
    const std::string text = "Line one\r\n%PATH% ^ ! \"quoted\" & | < >\r\nlast line\r\n";
    char folder[MAX_PATH];
    ASSERT_GT(::GetTempPathA(MAX_PATH, folder), 0u);
    const std::string file = std::string(folder) + "ravlet message.txt";
    {
        const HANDLE h = ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        ::CloseHandle(h);
    }
    const std::string expected = "#1 priority=low to=\"ops\" text=\"Line one\\x0D\\x0A%PATH% ^ ! \\\"quoted\\\" & | < >"
                                 "\\x0D\\x0Alast line\"\r\n";

    auto from_file = listen("--count 1");
    EXPECT_EQ(ravlet("-r ops --text-file \"" + file + "\" -p low").out, SENT);
    EXPECT_EQ(from_file->finish().out, expected);

    auto from_pipe = listen("--count 1");
    Win32Child piped("ravlet.exe", "-r ops --text-file - -p low --quiet", &text);
    const Win32Finished r = piped.finish();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.out, "Message has been sent.\r\n");
    EXPECT_EQ(from_pipe->finish().out, expected);

    const Win32Finished missing = ravlet("-r ops --text-file \"" + file + ".none\"");
    EXPECT_EQ(missing.exit_code, MINUS_ONE);
    EXPECT_EQ(missing.out, BANNER);
    EXPECT_TRUE(missing.err.starts_with("ravlet: cannot read " + file + ".none: ")) << missing.err;
    ::DeleteFileA(file.c_str());
}

// A 32-bit tool and a 64-bit messenger, and the other way round: the other
// bitness's programs come from the build that RAVLET_PEER_DIR names.
TEST(CrossBitness, PacketCrossesBetweenBitnessesByteForByte)
{
    const char* peer_dir = std::getenv("RAVLET_PEER_DIR");
    if (peer_dir == nullptr)
        GTEST_SKIP() << "RAVLET_PEER_DIR names no build of the other bitness";
    const std::string peer = std::string(peer_dir) + "\\";
    DWORD own_type = 0;
    DWORD peer_type = 0;
    ASSERT_TRUE(::GetBinaryTypeA(test::beside_this_program("ravlet.exe").c_str(), &own_type));
    ASSERT_TRUE(::GetBinaryTypeA((peer + "ravlet.exe").c_str(), &peer_type));
    ASSERT_NE(own_type, peer_type) << "the peer build has the same bitness";

    const std::string recipients[] = {"ann", "Bob Lee"};
    const MessagePacket packet = build_packet(std::span<const std::string>(recipients), "hi\tthere", Priority::High);
    const std::string arguments = "-r ann \"Bob Lee\" -m \"hi\tthere\" -p High";
    const std::string expected_log = "#1 priority=high to=\"ann\",\"Bob Lee\" text=\"hi\\x09there\"\r\n  " +
                                     test::to_hex(packet.bytes()) + "\r\n  wParam=0x0 dwData=0x0\r\n";

    struct Pairing {
        std::string tool;
        std::string listener;
    };
    for (const Pairing& pairing : {Pairing{peer + "ravlet.exe", "ravlet-listen.exe"},
                                   Pairing{"ravlet.exe", peer + "ravlet-listen.exe"}}) {
        SCOPED_TRACE(pairing.tool + " to " + pairing.listener);
        auto listener = std::make_unique<Win32Child>(pairing.listener, "--count 1 --hex");
        ASSERT_TRUE(listener->wait_for_err(READY)) << listener->err_so_far();
        const Win32Finished sent = run_child(pairing.tool, arguments);
        EXPECT_EQ(sent.exit_code, 0u);
        EXPECT_EQ(sent.out, SENT);
        const Win32Finished listened = listener->finish();
        EXPECT_EQ(listened.exit_code, 0u);
        EXPECT_EQ(listened.out, expected_log);

        const Win32Finished missing = run_child(pairing.tool, arguments);
        EXPECT_EQ(missing.exit_code, MINUS_ONE);
        EXPECT_EQ(missing.out, NOT_FOUND);
    }
}

} // namespace
} // namespace ravlet
