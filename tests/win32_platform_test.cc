// The Win32 layer and the built ravlet.exe against real top-level windows.
#include "cli/switch_table.h"
#include "packet/message_packet.h"
#include "platform/platform.h"
#include "test_support.h"
#include "win32_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace ravlet {
namespace {

struct Received {
    WPARAM w_param = 0;
    ULONG_PTR dw_data = 0;
    DWORD cb_data = 0;
    std::string bytes;
};

// A hidden top-level window, served by a thread of its own so that each send
// crosses threads as it does between processes.
class TestWindow {
public:
    TestWindow(const char* title, LRESULT reply)
        : reply_(reply)
    {
        std::promise<HWND> created;
        std::future<HWND> window = created.get_future();
        thread_ = std::thread([this, title, &created] { serve(title, created); });
        hwnd_ = window.get();
    }
    ~TestWindow() { close(); }

    void close()
    {
        if (thread_.joinable()) {
            ::PostMessageA(hwnd_, WM_CLOSE, 0, 0);
            thread_.join();
        }
    }
    HWND hwnd() const { return hwnd_; }
    std::vector<Received> received; // read after close()

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM w_param, LPARAM l_param)
    {
        auto* self = reinterpret_cast<TestWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (message == WM_COPYDATA && self != nullptr) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(l_param);
            self->received.push_back(
                {w_param, data->dwData, data->cbData,
                 std::string(static_cast<const char*>(data->lpData), data->cbData)});
            return self->reply_;
        }
        if (message == WM_DESTROY)
            ::PostQuitMessage(0);
        return ::DefWindowProcA(hwnd, message, w_param, l_param);
    }

    void serve(const char* title, std::promise<HWND>& created)
    {
        static std::atomic<int> serial{0};
        const std::string class_name = "ravlet-test-window-" + std::to_string(serial++);
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = procedure;
        window_class.hInstance = ::GetModuleHandleA(nullptr);
        window_class.lpszClassName = class_name.c_str();
        ::RegisterClassA(&window_class);
        HWND hwnd = ::CreateWindowExA(0, class_name.c_str(), title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                      nullptr, nullptr, window_class.hInstance, nullptr);
        if (hwnd != nullptr)
            ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        created.set_value(hwnd);
        if (hwnd == nullptr)
            return;
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::UnregisterClassA(class_name.c_str(), window_class.hInstance);
    }

    LRESULT reply_;
    HWND hwnd_ = nullptr;
    std::thread thread_;
};

MessagePacket sample_packet()
{
    const std::string_view recipients[] = {"ann", "bob"};
    return build_packet(recipients, "hi", Priority::Normal);
}

TEST(Win32Platform, SendsCopyDataToTheWindowWithTheTitle)
{
    for (LRESULT reply : {LRESULT{1}, LRESULT{0}}) {
        SCOPED_TRACE(reply);
        TestWindow window("ravlet test window", reply);
        ASSERT_NE(window.hwnd(), nullptr);
        Platform& platform = native_platform();
        ASSERT_TRUE(platform.init_framework());
        const std::optional<WindowRef> found = platform.find_window("ravlet test window");
        ASSERT_TRUE(found);
        EXPECT_EQ(reinterpret_cast<HWND>(found->handle), window.hwnd());

        const MessagePacket packet = sample_packet();
        EXPECT_EQ(platform.send_copy_data(*found, CopyData{0, packet.size(), packet.data()}, std::nullopt), HandOver::Delivered)
            << "a window procedure's result is not examined";
        window.close();
        ASSERT_EQ(window.received.size(), 1u);
        EXPECT_EQ(window.received[0].w_param, 0u);
        EXPECT_EQ(window.received[0].dw_data, 0u);
        EXPECT_EQ(window.received[0].cb_data, 27u);
        EXPECT_EQ(test::to_hex(window.received[0].bytes), test::to_hex(packet.bytes()));
    }
}

TEST(Win32Platform, NoWindowWithoutTheTitle)
{
    EXPECT_FALSE(native_platform().find_window("ravlet test window that nobody owns"));
}

TEST(Win32Platform, WindowDestroyedAfterTheLookupDidNotGetTheMessage)
{
    TestWindow window("ravlet test window", 1);
    Platform& platform = native_platform();
    const std::optional<WindowRef> found = platform.find_window("ravlet test window");
    ASSERT_TRUE(found);
    window.close();
    const MessagePacket packet = sample_packet();
    EXPECT_EQ(platform.send_copy_data(*found, CopyData{0, packet.size(), packet.data()}, std::nullopt), HandOver::WindowGone);
    EXPECT_TRUE(window.received.empty());
}

TEST(Win32Platform, SingleByteCodePageHasNoLeadBytes)
{
    if (::GetACP() == 1252)
        EXPECT_TRUE(native_platform().lead_bytes().empty());
    else
        GTEST_SKIP() << "ANSI code page " << ::GetACP();
}

const std::string BANNER = test::expected_banner("\r\n");

TEST(RavletExe, DeliversToTheMessengerWindowWithArgumentsAsTyped)
{
    TestWindow messenger("Corvane.NET", 0);
    const test::Win32Finished r = test::run_child("ravlet.exe", R"(-r * "ann lee" a\"b -m "hi there" -p HIGH)");
    messenger.close();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.out, BANNER + "Message has been sent.\r\n");
    ASSERT_EQ(messenger.received.size(), 1u);
    const std::string_view recipients[] = {"*", "ann lee", "a\"b"};
    EXPECT_EQ(test::to_hex(messenger.received[0].bytes),
              test::to_hex(build_packet(recipients, "hi there", Priority::High).bytes()));
}

TEST(RavletExe, ReportsAMissingWindowWithMinusOne)
{
    const test::Win32Finished r = test::run_child("ravlet.exe", "-r ann -m hi");
    EXPECT_EQ(r.exit_code, 0xFFFFFFFFu);
    EXPECT_EQ(r.out, BANNER + "Corvane not found.\r\n");
}

// Japanese code page 932 (run with LC_ALL=ja_JP.UTF-8 under Wine): the
// lead-byte test is the code page's, and double-byte characters, among them
// those whose second byte is a backslash, arrive unchanged.
class Cp932 : public testing::Test {
protected:
    void SetUp() override
    {
        if (::GetACP() != 932)
            GTEST_SKIP() << "ANSI code page is " << ::GetACP() << ", not 932";
    }
};

TEST_F(Cp932, LeadBytesAreTheCodePages)
{
    const LeadBytes lead = native_platform().lead_bytes();
    for (unsigned b = 0; b < 256; ++b) {
        const bool expected = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        EXPECT_EQ(lead.contains(static_cast<unsigned char>(b)), expected) << b;
    }
    // The switch table compares by character with them: a name ending in a
    // lone lead byte is the same switch.
    SwitchTable table(lead);
    const char* argv[] = {"ravlet", "-r\x81", "ann"};
    table.parse(3, argv);
    EXPECT_EQ(table.value_count("-r"), 1);
}

TEST_F(Cp932, DoubleByteArgumentsArriveUnchanged)
{
    TestWindow messenger("Corvane.NET", 1);
    // \x83\x5C and \x95\x5C end in the byte of a backslash, here before a quote.
    const test::Win32Finished r = test::run_child(
        "ravlet.exe", "-r \x83\x5C \"\x93\xFA\x96\x7B \x95\x5C\" -m \"\x83\x5C\" -p high");
    messenger.close();
    EXPECT_EQ(r.exit_code, 0u);
    ASSERT_EQ(messenger.received.size(), 1u);
    const std::string_view recipients[] = {"\x83\x5C", "\x93\xFA\x96\x7B \x95\x5C"};
    EXPECT_EQ(test::to_hex(messenger.received[0].bytes),
              test::to_hex(build_packet(recipients, "\x83\x5C", Priority::High).bytes()));
}

} // namespace
} // namespace ravlet
