// The POSIX stand-in for a desktop's top-level windows, shared by the tool
// and the stand-in messenger: where the desktop is, which titles can name a
// window there, and connecting to one. See docs/posix-window-messaging.md.
#pragma once

#include "platform/unique_fd.h"

#include <optional>
#include <string>

#include <sys/un.h>

namespace ravlet {

// $XDG_RUNTIME_DIR/wm-copydata when XDG_RUNTIME_DIR is absolute, otherwise
// /tmp/wm-copydata-<euid>.
std::string desktop_directory();

// Why a desktop directory cannot be used, or nothing when it can: it must be
// a real directory (not a symbolic link), owned by the effective user, with
// no permission bits for group or others and all three for the owner.
std::optional<std::string> desktop_directory_problem(const char* path);

// D/T for a title that can name a window; nothing for an empty title, "." or
// "..", one with a '/', or one too long for a socket address.
std::optional<std::string> window_socket_path(const std::string& desktop, const char* title);

// The socket address of `path`, which window_socket_path has checked to fit.
sockaddr_un socket_address(const std::string& path);

// Reopens closed standard descriptors (0, 1, 2) on /dev/null, in order. Both
// programs call it before opening anything: a window socket that took one of
// those numbers would receive console output.
void open_closed_standard_streams();

// Connects to the window titled `title`, and checks that the peer runs as the
// effective user. An invalid descriptor when there is no such window.
UniqueFd connect_to_window(const char* title);

} // namespace ravlet
