// The receiving side on Windows: a real, hidden top-level window (not a
// message-only window, which a lookup by title does not find) and its
// message loop.
#include "platform/window_server.h"

#include <windows.h>

namespace ravlet {
namespace {

constexpr char WINDOW_CLASS[] = "RavletListenWindow";

struct ServerState {
    const WindowServerOptions* options = nullptr;
    CopyDataHandler* handler = nullptr;
    HWND window = nullptr;
    HANDLE stop_event = nullptr; // set by Ctrl+C, so a reply delay ends early
};

ServerState state; // the console control handler runs on a thread of its own

BOOL WINAPI on_console_control(DWORD)
{
    ::SetEvent(state.stop_event);
    ::PostMessageA(state.window, WM_CLOSE, 0, 0);
    return TRUE;
}

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM w_param, LPARAM l_param)
{
    switch (message) {
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(l_param);
        const auto* bytes = static_cast<const std::uint8_t*>(data->lpData);
        const std::int64_t result =
            state.handler->on_copy_data({bytes, bytes == nullptr ? 0 : data->cbData}, data->dwData);
        if (state.options->reply_delay_ms > 0)
            ::WaitForSingleObject(state.stop_event, state.options->reply_delay_ms);
        if (state.handler->finished())
            ::PostMessageA(hwnd, WM_CLOSE, 0, 0); // after this result is returned
        return static_cast<LRESULT>(result);
    }
    case WM_CLOSE:
        ::DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(hwnd, message, w_param, l_param);
    }
}

std::string last_error(const char* call)
{
    return std::string(call) + " failed, error " + std::to_string(::GetLastError());
}

} // namespace

std::optional<std::string> serve_window(const WindowServerOptions& options, CopyDataHandler& handler,
                                        OutputStream& err)
{
    if (::FindWindowA(nullptr, options.title.c_str()) != nullptr)
        return "a window titled \"" + options.title + "\" already exists";

    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = instance;
    window_class.lpszClassName = WINDOW_CLASS;
    if (::RegisterClassA(&window_class) == 0)
        return last_error("RegisterClassA");

    state = {&options, &handler, nullptr, ::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    state.window = ::CreateWindowExA(0, WINDOW_CLASS, options.title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                     CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, nullptr);
    if (state.window == nullptr)
        return last_error("CreateWindowExA");
    ::SetConsoleCtrlHandler(on_console_control, TRUE);

    print_line(err, "ravlet-listen: window \"" + options.title + "\" is listening");
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    ::SetConsoleCtrlHandler(on_console_control, FALSE);
    ::CloseHandle(state.stop_event);
    return std::nullopt;
}

} // namespace ravlet
