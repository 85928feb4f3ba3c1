// What the tool needs of the operating system, one implementation per
// platform (platform-win32.cc, platform-posix.cc), picked by the build.
#pragma once

#include "packet/messenger_window.h"
#include "support/mbcs_compare.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ravlet {

// The record that travels with WM_COPYDATA.
struct CopyData {
    std::uintptr_t dw_data = 0;
    std::uint32_t cb_data = 0;
    const void* lp_data = nullptr;
};

// A top-level window found by its title. The value is the platform's own
// handle; the window is not ours and is never closed through it.
struct WindowRef {
    std::uintptr_t handle = 0;
};

enum class HandOver {
    Delivered,  // the window procedure has handled the message
    WindowGone, // the window went away before it handled the message
    TimedOut,   // no answer within the limit; the window may still handle it
};

class Platform {
public:
    virtual ~Platform() = default;

    // The application framework's start-up; false when it fails.
    virtual bool init_framework() = 0;
    // The lead bytes of the process's ANSI code page.
    virtual LeadBytes lead_bytes() = 0;
    // A top-level window with this title, if there is one. On POSIX the
    // reference is an open connection to the window, which lives until the
    // next find_window or send_copy_data.
    virtual std::optional<WindowRef> find_window(const char* title) = 0;
    // Sends WM_COPYDATA with wParam 0 and returns once the window has handled
    // it, or, given a limit, once `limit_ms` milliseconds have passed.
    virtual HandOver send_copy_data(WindowRef window, const CopyData& record,
                                    std::optional<std::uint32_t> limit_ms) = 0;
    // The system's error code for the last hand-over that did not deliver,
    // 0 when the platform has none to give.
    virtual std::uint32_t hand_over_error() const { return 0; }

    // A clock that only moves forward, in milliseconds, and a pause.
    virtual std::uint64_t monotonic_ms() = 0;
    virtual void sleep_ms(std::uint32_t ms) = 0;
    // The bytes of a file, unchanged; "-" is standard input, read to its end.
    // On failure, or past `limit` bytes, false and `error` says why.
    virtual bool read_file(const char* path, std::size_t limit, std::string& bytes, std::string& error) = 0;
};

// The implementation for the platform this build targets.
Platform& native_platform();

} // namespace ravlet
