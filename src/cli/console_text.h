// Every text the tool prints, in one place.
#pragma once

#include "ravlet_version.h"

#include <string_view>

namespace ravlet::text {

inline constexpr std::string_view BANNER[] = {
    "ravlet " RAVLET_VERSION,
    "Hands one message to the running Corvane NET messenger.",
    " ",
};

inline constexpr std::string_view USAGE[] = {
    "required argument is missing.",
    " ",
    "usage:",
    "ravlet -r recipient -m \"message\"",
    "ravlet -r recipient1 recipient2 recipient3 -m \"message\"",
    "ravlet -r \"recipient name\" recipient2 recipient3 -m \"message\"",
    "optional: -p priority ( low / normal / high, default is normal )",
    "please type all switches in lower case to avoid mistakes.",
    " ",
};

inline constexpr std::string_view SENT = "Message has been sent.";
inline constexpr std::string_view NOT_FOUND = "Corvane not found.";
inline constexpr std::string_view FRAMEWORK_FAILED = "Fatal Error: MFC initialization failed";
inline constexpr std::string_view OUT_OF_MEMORY = "Fatal Error: out of memory";

} // namespace ravlet::text
