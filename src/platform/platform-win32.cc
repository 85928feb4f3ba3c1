// Window messaging on Windows: the real USER32 calls.
#include "platform/platform.h"

#include <windows.h>

// Arguments reach the tool as typed: the C run time must not expand
// wildcards, whatever the toolchain's default.
extern "C" {
int _dowildcard = 0;
}

namespace ravlet {
namespace {

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

    HandOver send_copy_data(WindowRef window, const CopyData& record) override
    {
        COPYDATASTRUCT data{};
        data.dwData = static_cast<ULONG_PTR>(record.dw_data);
        data.cbData = record.cb_data;
        data.lpData = const_cast<void*>(record.lp_data);
        // A send that fails sets the last error: ERROR_INVALID_WINDOW_HANDLE
        // for a window destroyed since the lookup, another code when the
        // receiver ends while it handles the message. A delivered message
        // leaves it alone, whatever the window procedure returns.
        ::SetLastError(0);
        const LRESULT result = ::SendMessageA(reinterpret_cast<HWND>(window.handle), WM_COPYDATA, 0,
                                              reinterpret_cast<LPARAM>(&data));
        error_ = result == 0 ? ::GetLastError() : 0;
        return error_ != 0 ? HandOver::WindowGone : HandOver::Delivered;
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
