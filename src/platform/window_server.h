// The receiving side of window messaging, for the stand-in messenger: owns a
// top-level window and answers its WM_COPYDATA messages. One implementation
// per platform (window_server-win32.cc, window_server-posix.cc).
#pragma once

#include "support/output_stream.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ravlet {

// One WM_COPYDATA as it reached the window.
struct CopyDataMessage {
    std::span<const std::uint8_t> data; // the record's bytes; empty when it had none
    std::uint64_t w_param = 0;
    std::uint64_t dw_data = 0;
    // Why the record itself cannot be read (no record, or no data pointer
    // with a non-zero size); empty when it can.
    std::string_view record_problem;
};

class CopyDataHandler {
public:
    virtual ~CopyDataHandler() = default;
    // One WM_COPYDATA; returns the window procedure's result.
    virtual std::int64_t on_copy_data(const CopyDataMessage& message) = 0;
    // True once the window should close: no further message is handled.
    virtual bool finished() const = 0;
    // The process's exit status, were it to end now.
    virtual int exit_status() const = 0;
};

struct WindowServerOptions {
    std::string title;
    std::uint32_t reply_delay_ms = 0; // waited before each message is handled
};

// Called first in main, before anything is opened: on POSIX, closed standard
// descriptors are reopened on /dev/null, so that no socket takes their
// numbers and diagnostics never go down a sender's connection.
void prepare_listener_process();

// The listener's standard output and error. Once the process has been asked
// to stop, a write that would block is given up, so a reader that never
// reads cannot keep the listener alive.
OutputStream& listener_output();
OutputStream& listener_error();

// Why `title` cannot name a window on this platform, or nothing when it can.
std::optional<std::string> window_title_problem(const std::string& title);

// Creates the window, reports on `err` that it is ready, and serves it until
// the handler has finished, the window is closed, or the process is asked to
// stop (Ctrl+C, Ctrl+Break, SIGINT, SIGTERM, SIGHUP). Other failures of one
// sender are reported on `err` and do not stop the server. A message is
// printed only when its sender gets its result, or, where that cannot be
// known in time, reported on `err` as not answered. Returns why the window
// could not be created or served, or nothing after a clean end.
std::optional<std::string> serve_window(const WindowServerOptions& options, CopyDataHandler& handler,
                                        OutputStream& err);

} // namespace ravlet
