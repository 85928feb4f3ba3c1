// Every text the tool prints, in one place.
#pragma once

#include "ravlet_version.h"

#include <cstdint>
#include <string_view>

namespace ravlet::text {

// Whole lines, each ending in its line feed, so that a block leaves in one
// write.
inline constexpr std::string_view BANNER = "ravlet " RAVLET_VERSION "\n"
                                           "Hands one message to the running Corvane NET messenger.\n"
                                           " \n";

inline constexpr std::string_view USAGE = "required argument is missing.\n"
                                          " \n"
                                          "usage:\n"
                                          "ravlet -r recipient -m \"message\"\n"
                                          "ravlet -r recipient1 recipient2 recipient3 -m \"message\"\n"
                                          "ravlet -r \"recipient name\" recipient2 recipient3 -m \"message\"\n"
                                          "optional: -p priority ( low / normal / high, default is normal )\n"
                                          "please type all switches in lower case to avoid mistakes.\n"
                                          " \n";

inline constexpr std::string_view SENT = "Message has been sent.\n";
inline constexpr std::string_view NOT_FOUND = "Corvane not found.\n";
inline constexpr std::string_view TIMED_OUT = "Corvane did not answer in time.\n";
inline constexpr std::string_view FRAMEWORK_FAILED = "Fatal Error: MFC initialization failed\n";
inline constexpr std::string_view OUT_OF_MEMORY = "Fatal Error: out of memory\n";

// Starts the line that refuses a bad value of an opt-in switch.
inline constexpr std::string_view REFUSAL_PREFIX = "ravlet: ";

// On standard error after "Corvane not found." when the window was found but
// the hand-over failed with a system error: the code, then a likely cause.
inline constexpr std::string_view HAND_OVER_FAILED = "ravlet: the messenger window did not take the message: error ";
inline constexpr std::string_view ACCESS_DENIED_CAUSE =
    " (access denied: the messenger may run with higher rights than this tool, or it ended while handling the message)";
inline constexpr std::string_view WINDOW_CLOSED_CAUSE = " (the window closed before it handled the message)";
inline constexpr std::uint32_t ERROR_ACCESS_DENIED_CODE = 5;
inline constexpr std::uint32_t ERROR_INVALID_WINDOW_HANDLE_CODE = 1400;

} // namespace ravlet::text
