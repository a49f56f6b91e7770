// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace hz70 {

// The Modbus functions the master sends.
enum ModbusFunction : std::uint8_t {
    kReadHoldingRegisters = 0x03,
    kWriteSingleRegister = 0x06,
    kReportSlaveId = 0x11,
};
// Set in a reply's function code when the slave answers with an exception.
inline constexpr int kExceptionFlag = 0x80;

// An exception code with the protocol's name for it: "3 (illegal data value)"; only the number for a
// code the protocol does not name.
[[nodiscard]] std::string ModbusExceptionText(int code);

enum class Framing { Rtu, Ascii };

// Longest frame (address to last data byte, no check) a reply may have.
inline constexpr std::size_t kMaxFrameBytes = 250;

// Characters on the line of a frame of `frameBytes` bytes (address to last data byte).
[[nodiscard]] std::size_t LineLength(Framing framing, std::size_t frameBytes);

// Encodes `frame` (address to last data byte) for the line: RTU appends the CRC low byte first; ASCII
// writes ':', the bytes and the LRC as upper-case hexadecimal, CR and LF. Returns the line's length, or 0
// when it does not fit `line`.
[[nodiscard]] std::size_t EncodeFrame(Framing framing, std::span<const std::uint8_t> frame,
                                      std::span<std::uint8_t> line);

// What answers the request: a frame from its slave with its function (or that function's exception),
// and for a function-3 request as many data bytes as it asked for. Any other valid frame (another
// slave's, or a late reply to an earlier request) is passed over, and the wait goes on.
struct ReplyExpectation {
    std::uint8_t address = 0;
    std::uint8_t function = 0;
    int byteCount = -1; // function 3: twice the registers asked for; -1: not checked
};

struct ReplySearch {
    bool found = false;
    // Found: the frame's place in the input, one past its last byte.
    std::size_t frameStart = 0;
    std::size_t frameEnd = 0;
    // Found: the frame from its address to its last data byte, decoded, without its check.
    std::array<std::uint8_t, kMaxFrameBytes> frame{};
    std::size_t frameLength = 0;
    // Not found: the leading bytes that can be part of no reply, whatever arrives after them.
    std::size_t settled = 0;
    // Frames from the expected address that arrived whole with a wrong CRC or LRC, among the settled bytes.
    int badChecks = 0;
    // The first valid frame among the settled bytes that does not answer the request, if any.
    bool foreign = false;
    std::size_t foreignStart = 0;
    std::size_t foreignEnd = 0;
};

// Looks for the first reply to the request in `input`. An RTU reply's end follows from its function and byte
// count, so whatever follows a complete reply (a NUL, noise, a partial next frame) neither hides nor
// delays it. Function-3 and function-17 replies must carry as many data bytes as their byte count says.
[[nodiscard]] ReplySearch FindReply(Framing framing, std::span<const std::uint8_t> input,
                                    ReplyExpectation expected);

// Where the line's echo of `request` begins in `input`, if it is there whole. Only the first `maxLead`
// bytes may come before it.
[[nodiscard]] std::optional<std::size_t> FindEcho(std::span<const std::uint8_t> input,
                                                  std::span<const std::uint8_t> request, std::size_t maxLead);

} // namespace hz70
