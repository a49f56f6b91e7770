// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Clock.h"
#include "comm/LinkTrace.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace hz70::cli {

// One trace line, without the newline: seconds since the start (milliseconds shown), the event in a
// fixed-width column, then its bytes. RTU bytes and decoded frames are shown in hex, ASCII lines as quoted
// text with control characters escaped, so that `grep "echo dropped"` or `cut -c11-28` work on a capture.
[[nodiscard]] std::string FormatTraceLine(std::uint32_t elapsedMs, const LinkTraceEntry& entry);

// Writes every link event as one line to `out` (standard error), timed from the trace's construction.
class WireTrace final : public LinkTrace {
public:
    WireTrace(Clock& clock, std::ostream& out);
    void Record(const LinkTraceEntry& entry) override;

private:
    Clock& clock_;
    std::ostream& out_;
    std::uint32_t start_;
};

} // namespace hz70::cli
