// Window messaging on Windows: the real USER32 calls.
#include "platform/platform.h"

#include <windows.h>

#include <string>
#include <string_view>

// Arguments reach the tool as typed: the C run time must not expand
// wildcards, whatever the toolchain's default.
extern "C" {
int _dowildcard = 0;
}

namespace ravlet {
namespace {

// The system's text for an error code, on one line, with the code.
std::string system_message(DWORD code)
{
    char text[512] = {};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                    text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.' ||
                          text[length - 1] == ' '))
        --length;
    std::string message(text, length);
    return (message.empty() ? "error" : message) + " (error " + std::to_string(code) + ")";
}

class Win32Platform final : public Platform {
public:
    // Stands in for the application framework's start-up, which needs the
    // module handle and the command line and fails without a module handle.
    bool init_framework() override
    {
        const HMODULE module = ::GetModuleHandleA(nullptr);
        const char* command_line = ::GetCommandLineA();
        return module != nullptr && command_line != nullptr;
    }

    LeadBytes lead_bytes() override
    {
        LeadBytes lead_bytes;
        CPINFO info{};
        if (::GetCPInfo(CP_ACP, &info)) {
            // Pairs of inclusive ranges, ended by a pair of zeros.
            for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
                lead_bytes.add_range(info.LeadByte[i], info.LeadByte[i + 1]);
        }
        return lead_bytes;
    }

    std::optional<WindowRef> find_window(const char* title) override
    {
        const HWND window = ::FindWindowA(nullptr, title);
        if (window == nullptr)
            return std::nullopt;
        return WindowRef{reinterpret_cast<std::uintptr_t>(window)};
    }

    HandOver send_copy_data(WindowRef window, const CopyData& record, std::optional<std::uint32_t> limit_ms) override
    {
        COPYDATASTRUCT data{};
        data.dwData = static_cast<ULONG_PTR>(record.dw_data);
        data.cbData = record.cb_data;
        data.lpData = const_cast<void*>(record.lp_data);
        const HWND target = reinterpret_cast<HWND>(window.handle);
        const LPARAM l_param = reinterpret_cast<LPARAM>(&data);
        // A send that fails sets the last error: ERROR_INVALID_WINDOW_HANDLE
        // for a window destroyed since the lookup, another code when the
        // receiver ends while it handles the message. A delivered message
        // leaves it alone, whatever the window procedure returns.
        ::SetLastError(0);
        if (limit_ms) {
            // A window whose thread has stopped answering is given up at once.
            DWORD_PTR ignored = 0;
            if (::SendMessageTimeoutA(target, WM_COPYDATA, 0, l_param, SMTO_ABORTIFHUNG, *limit_ms, &ignored) != 0) {
                error_ = 0;
                return HandOver::Delivered;
            }
            error_ = ::GetLastError();
            if (error_ == ERROR_TIMEOUT || error_ == 0) {
                error_ = 0;
                return HandOver::TimedOut;
            }
            return HandOver::WindowGone;
        }
        const LRESULT result = ::SendMessageA(target, WM_COPYDATA, 0, l_param);
        error_ = result == 0 ? ::GetLastError() : 0;
        return error_ != 0 ? HandOver::WindowGone : HandOver::Delivered;
    }

    std::uint64_t monotonic_ms() override { return ::GetTickCount64(); }
    void sleep_ms(std::uint32_t ms) override { ::Sleep(ms); }

    bool read_file(const char* path, std::size_t limit, std::string& bytes, std::string& error) override
    {
        const bool standard_input = std::string_view(path) == "-";
        const HANDLE file = standard_input ? ::GetStdHandle(STD_INPUT_HANDLE)
                                           : ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE || file == nullptr) {
            error = system_message(::GetLastError());
            return false;
        }
        char buffer[65536];
        bool ok = true;
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
                // The writer of a pipe closing its end is the end of the input.
                const DWORD code = ::GetLastError();
                if (code != ERROR_BROKEN_PIPE && code != ERROR_HANDLE_EOF) {
                    error = system_message(code);
                    ok = false;
                }
                break;
            }
            if (got == 0)
                break;
            if (got > limit - bytes.size()) {
                error = "longer than " + std::to_string(limit) + " bytes";
                ok = false;
                break;
            }
            bytes.append(buffer, got); // grows geometrically: linear in the size
        }
        if (!standard_input)
            ::CloseHandle(file);
        return ok;
    }

    std::uint32_t hand_over_error() const override { return error_; }

private:
    DWORD error_ = 0;
};

} // namespace

Platform& native_platform()
{
    static Win32Platform platform;
    return platform;
}

} // namespace ravlet
