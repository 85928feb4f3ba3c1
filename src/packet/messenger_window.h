// What binds the tool and the messenger besides the packet's bytes: the title
// of the messenger's top-level window and the message that carries a packet.
#pragma once

#include <cstdint>

namespace ravlet {

inline constexpr char MESSENGER_WINDOW_TITLE[] = "Corvane.NET";
inline constexpr std::uint32_t WM_COPYDATA_MESSAGE = 0x004A;

} // namespace ravlet
