// The Win32 layer and the built ravlet.exe against real top-level windows.
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
        EXPECT_EQ(platform.send_copy_data(*found, CopyData{0, packet.size(), packet.data()}), HandOver::Delivered)
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
    EXPECT_EQ(platform.send_copy_data(*found, CopyData{0, packet.size(), packet.data()}), HandOver::WindowGone);
    EXPECT_TRUE(window.received.empty());
}

TEST(Win32Platform, SingleByteCodePageHasNoLeadBytes)
{
    if (::GetACP() == 1252)
        EXPECT_TRUE(native_platform().lead_bytes().empty());
    else
        GTEST_SKIP() << "ANSI code page " << ::GetACP();
}

const std::string BANNER_END = "Hands one message to the running Corvane NET messenger.\r\n \r\n";

TEST(RavletExe, DeliversToTheMessengerWindowWithArgumentsAsTyped)
{
    TestWindow messenger("Corvane.NET", 0);
    const test::Win32Finished r = test::run_child("ravlet.exe", R"(-r * "ann lee" a\"b -m "hi there" -p HIGH)");
    messenger.close();
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_TRUE(r.out.ends_with(BANNER_END + "Message has been sent.\r\n")) << r.out;
    ASSERT_EQ(messenger.received.size(), 1u);
    const std::string_view recipients[] = {"*", "ann lee", "a\"b"};
    EXPECT_EQ(test::to_hex(messenger.received[0].bytes),
              test::to_hex(build_packet(recipients, "hi there", Priority::High).bytes()));
}

TEST(RavletExe, ReportsAMissingWindowWithMinusOne)
{
    const test::Win32Finished r = test::run_child("ravlet.exe", "-r ann -m hi");
    EXPECT_EQ(r.exit_code, 0xFFFFFFFFu);
    EXPECT_TRUE(r.out.ends_with(BANNER_END + "Corvane not found.\r\n")) << r.out;
}

} // namespace
} // namespace ravlet
