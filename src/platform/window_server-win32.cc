// The receiving side on Windows: a real, hidden top-level window (not a
// message-only window, which a lookup by title does not find) and its
// message loop.
#include "platform/console.h"
#include "platform/window_server.h"

#include <windows.h>

#include <cstdio>

namespace ravlet {
namespace {

constexpr char WINDOW_CLASS[] = "RavletListenWindow";
// How long a stop waits for the window thread, which may be stuck writing to
// an output that nobody reads, before the process ends without it.
constexpr DWORD STOP_GRACE_MS = 1000;

struct ServerState {
    const WindowServerOptions* options = nullptr;
    CopyDataHandler* handler = nullptr;
    HWND window = nullptr;
    HANDLE stop_event = nullptr;  // set by Ctrl+C, so a reply delay ends early
    HANDLE loop_ended = nullptr;  // set once the message loop is left
};

ServerState state; // the console control handler runs on a thread of its own

// Ends the process at once, as a vanished window: whoever waits in
// SendMessage for this window gets a failure, never a result.
[[noreturn]] void vanish()
{
    std::fflush(stdout);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(state.handler->exit_status()));
    ::ExitProcess(1); // not reached
}

BOOL WINAPI on_console_control(DWORD)
{
    ::SetEvent(state.stop_event);
    ::PostMessageA(state.window, WM_CLOSE, 0, 0);
    // A message being printed to a blocked output is never answered; its
    // sender sees the window gone.
    if (::WaitForSingleObject(state.loop_ended, STOP_GRACE_MS) == WAIT_TIMEOUT)
        ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(state.handler->exit_status()));
    return TRUE;
}

// Why a WM_COPYDATA's record cannot be read, or nothing when it can.
const char* record_problem(const COPYDATASTRUCT* data)
{
    if (data == nullptr)
        return "no COPYDATASTRUCT came with it";
    if (data->lpData == nullptr && data->cbData != 0)
        return "lpData is null but cbData is not 0";
    return "";
}

LRESULT on_copy_data(HWND hwnd, WPARAM w_param, const COPYDATASTRUCT* data)
{
    // Senders already waiting when the last message was handled are served
    // by the next GetMessage before any close: they must not be answered.
    if (state.handler->finished())
        vanish();
    if (state.options->reply_delay_ms > 0)
        ::WaitForSingleObject(state.stop_event, state.options->reply_delay_ms);

    CopyDataMessage message;
    message.w_param = w_param;
    message.record_problem = record_problem(data);
    if (message.record_problem.empty()) {
        message.data = {static_cast<const std::uint8_t*>(data->lpData), data->lpData == nullptr ? 0 : data->cbData};
        message.dw_data = data->dwData;
    }
    const std::int64_t result = state.handler->on_copy_data(message);
    if (state.handler->finished())
        ::PostMessageA(hwnd, WM_CLOSE, 0, 0); // after this result is returned
    return static_cast<LRESULT>(result);
}

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM w_param, LPARAM l_param)
{
    switch (message) {
    case WM_COPYDATA:
        return on_copy_data(hwnd, w_param, reinterpret_cast<const COPYDATASTRUCT*>(l_param));
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

// The name of the mutex that makes one listener the owner of a title. Titles
// are found without regard to case, so the name folds it; a backslash may not
// appear in the name.
std::string title_mutex_name(const std::string& title)
{
    std::string name = "Local\\ravlet-listen-window:";
    for (char c : title) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        name += c == '\\' ? '/' : c;
    }
    return name;
}

std::string already_exists(const std::string& title)
{
    return "a window titled \"" + title + "\" already exists";
}

} // namespace

void prepare_listener_process() {}

OutputStream& listener_output()
{
    return standard_output();
}

OutputStream& listener_error()
{
    return standard_error();
}

std::optional<std::string> window_title_problem(const std::string&)
{
    return std::nullopt; // any text can be a window's title
}

std::optional<std::string> serve_window(const WindowServerOptions& options, CopyDataHandler& handler,
                                        OutputStream& err)
{
    // Taken before the lookup, so that two listeners started together cannot
    // both find no window and both make one. Held until the process ends.
    const HANDLE owner = ::CreateMutexA(nullptr, TRUE, title_mutex_name(options.title).c_str());
    if (owner == nullptr)
        return last_error("CreateMutexA");
    if (::GetLastError() == ERROR_ALREADY_EXISTS)
        return already_exists(options.title);
    if (::FindWindowA(nullptr, options.title.c_str()) != nullptr)
        return already_exists(options.title);

    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = instance;
    window_class.lpszClassName = WINDOW_CLASS;
    if (::RegisterClassA(&window_class) == 0)
        return last_error("RegisterClassA");

    state = {&options, &handler, nullptr, ::CreateEventA(nullptr, TRUE, FALSE, nullptr),
             ::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    state.window = ::CreateWindowExA(0, WINDOW_CLASS, options.title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                     CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, nullptr);
    if (state.window == nullptr)
        return last_error("CreateWindowExA");
    ::SetConsoleCtrlHandler(on_console_control, TRUE);

    print_line(err, "ravlet-listen: window \"" + options.title + "\" is listening");
    std::optional<std::string> problem;
    MSG msg;
    for (;;) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0)
            break; // WM_QUIT
        if (got == -1) {
            problem = last_error("GetMessageA");
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    ::SetEvent(state.loop_ended);
    ::SetConsoleCtrlHandler(on_console_control, FALSE);
    return problem;
}

} // namespace ravlet
