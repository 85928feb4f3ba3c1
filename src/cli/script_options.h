// The opt-in switches for scripts: --timeout, --wait, --text-file, --quiet.
//
// They follow the tool's own grammar (a switch and the plain arguments after
// it), and their long names keep every existing command line meaning what it
// did. Unlike the classic switches, a bad or missing value is refused.
#pragma once

#include "cli/switch_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ravlet {

inline constexpr char TIMEOUT_SWITCH[] = "--timeout";
inline constexpr char WAIT_SWITCH[] = "--wait";
inline constexpr char TEXT_FILE_SWITCH[] = "--text-file";
inline constexpr char QUIET_SWITCH[] = "--quiet";
inline constexpr std::uint32_t MAX_MILLISECONDS = 0x7FFFFFFF;
// The longest text a file may give: what a receiver takes in one message.
inline constexpr std::size_t MAX_TEXT_FILE_BYTES = 64u << 20;
// How often --wait looks for the window again.
inline constexpr std::uint32_t WAIT_STEP_MS = 100;

struct ScriptOptions {
    std::optional<std::uint32_t> timeout_ms; // the hand-over's limit
    std::uint32_t wait_ms = 0;               // how long to look for the window
    std::optional<std::string> text_file;    // the text's file; "-" is standard input
};

// What one look over the arguments tells before anything is printed or
// allocated: whether the banner is to be left out, and whether the opt-in
// switches need reading at all (the usual command line has none).
struct LongSwitchScan {
    bool any = false;   // an argument starts with "--"
    bool quiet = false; // an argument is exactly --quiet
};
LongSwitchScan scan_long_switches(int argc, const char* const* argv);

// Reads the opt-in switches from the table (--quiet only for a value it must
// not have: the scan has already acted on it). Returns the one-line
// refusal of a bad value, or nothing when every value is good.
std::optional<std::string> read_script_options(const SwitchTable& table, ScriptOptions& options);

// A refusal's text on one line: control bytes (a line break in a value or a
// path, say) are shown as \xNN.
std::string on_one_line(std::string_view text);

// A file's bytes as a message text: one trailing LF or CR LF is dropped.
// Returns the refusal when the text holds a NUL byte, which a packet cannot
// carry; `source` names the file in it.
std::optional<std::string> file_text_to_message(std::string& bytes, std::string_view source);

} // namespace ravlet
