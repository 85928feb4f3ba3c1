// What ravlet-listen prints for each message it receives.
#pragma once

#include "support/output_stream.h"
#include "listen/listen_options.h"
#include "platform/window_server.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ravlet {

// A byte string in double quotes, with '"' and '\' escaped by a backslash and
// every byte that is not printable ASCII shown as \xNN, so a line says exactly
// which bytes arrived.
std::string quote_bytes(std::string_view bytes);

// One line per message on `out`; malformed messages (a bad packet, or a
// wParam or dwData other than 0) are reported on `err` and counted.
class MessageLog final : public CopyDataHandler {
public:
    MessageLog(const ListenOptions& options, OutputStream& out, OutputStream& err);

    std::int64_t on_copy_data(const CopyDataMessage& message) override;
    bool finished() const override;
    // 0 when every message was well-formed, 1 otherwise.
    int exit_status() const override;

    std::uint64_t received() const { return received_; }
    std::uint64_t malformed() const { return malformed_; }

private:
    const ListenOptions& options_;
    OutputStream& out_;
    OutputStream& err_;
    std::uint64_t received_ = 0;
    std::uint64_t malformed_ = 0;
};

} // namespace ravlet
