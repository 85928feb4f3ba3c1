// The receiving side of window messaging, for the stand-in messenger: owns a
// top-level window and answers its WM_COPYDATA messages. One implementation
// per platform (window_server-win32.cc, window_server-posix.cc).
#pragma once

#include "cli/output_stream.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace ravlet {

class CopyDataHandler {
public:
    virtual ~CopyDataHandler() = default;
    // One WM_COPYDATA; returns the window procedure's result.
    virtual std::int64_t on_copy_data(std::span<const std::uint8_t> data, std::uint64_t dw_data) = 0;
    // True once the window should close.
    virtual bool finished() const = 0;
};

struct WindowServerOptions {
    std::string title;
    std::uint32_t reply_delay_ms = 0; // waited before each result is returned
};

// Creates the window, reports on `err` that it is ready, and serves it until
// the handler has finished, the window is closed, or the process is asked to
// stop (Ctrl+C, SIGINT, SIGTERM). Other failures of one sender are reported
// on `err` and do not stop the server. Returns why the window could not be
// created, or nothing after a clean end.
std::optional<std::string> serve_window(const WindowServerOptions& options, CopyDataHandler& handler,
                                        OutputStream& err);

} // namespace ravlet
