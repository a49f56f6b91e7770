// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Clock.h"
#include "comm/LineConfig.h"
#include "comm/LineEcho.h"
#include "comm/LinkOutcomes.h"
#include "comm/LinkTrace.h"
#include "comm/ModbusFraming.h"
#include "comm/ReceiveRing.h"
#include "comm/SerialPort.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace hz70 {

// The five link settings, in the order the settings file and the port dialog use.
struct TTransSettings {
    std::int32_t COM = 0;      // 0 = COM1 ... 7 = COM8
    std::int32_t Baud = 5;     // index into kBaudTable
    std::int32_t Mode = 0;     // index into kModeTable
    std::int32_t Type = 0;     // kept and handed back; the link never uses it
    std::int32_t Timeout = -1; // ms, as given; the link waits as ChooseReplyTimeout says

    friend bool operator==(const TTransSettings&, const TTransSettings&) = default;
};

struct BaudEntry {
    const char* text;
    int rate;
    int defaultTimeout; // ms
};

struct ModeEntry {
    const char* text;
    bool rtu;
};

inline constexpr int kPortCount = 8;
inline constexpr int kMinReplyTimeout = 100;
// Ten minutes. A longer time-out (a typing slip in the settings file) would only keep a blocking exchange
// from ever ending on a silent line; it also keeps the wait's bound within the 32-bit tick.
inline constexpr int kMaxReplyTimeout = 600000;

inline constexpr std::array<BaudEntry, 10> kBaudTable{{
    {"300", 300, 5000},
    {"600", 600, 5000},
    {"1200", 1200, 3900},
    {"2400", 2400, 2100},
    {"4800", 4800, 1500},
    {"9600", 9600, 1500},
    {"19200", 19200, 1500},
    {"38400", 38400, 1500},
    {"57600", 57600, 1500},
    {"115200", 115200, 1500},
}};

inline constexpr std::array<ModeEntry, 7> kModeTable{{
    {"N,8,1", false},
    {"E,7,1", false},
    {"O,7,1", false},
    {"N,8,2", true},
    {"E,8,1", true},
    {"O,8,1", true},
    {"N,8,1", true},
}};

[[nodiscard]] constexpr bool IsRtuMode(int modeIndex) {
    return modeIndex >= 3;
}

// True when every index lies inside its table, so the settings can configure a port.
[[nodiscard]] bool SettingsInTables(const TTransSettings& settings);

// The reply time-out the link waits with, and where it came from.
struct ReplyTimeoutChoice {
    enum class Source {
        Given,       // `Timeout` as it was given
        BaudDefault, // `Timeout` below kMinReplyTimeout: the baud table's default
        Capped,      // `Timeout` above kMaxReplyTimeout: that maximum
    };
    int ms;
    Source source;
};
// What the link makes of `settings.Timeout` at `settings.Baud` (which must lie in the baud table).
[[nodiscard]] ReplyTimeoutChoice ChooseReplyTimeout(const TTransSettings& settings);

// One request or one reply. The first kHeaderRoom bytes of `data` are room for a request's header, put
// in front of its payload so that the frame reads in wire order.
struct ModbusFrame {
    static constexpr int kHeaderRoom = 6;
    static constexpr int kCapacity = 250;
    static constexpr int kDataStart = kHeaderRoom;

    std::uint8_t address = 0;
    std::uint8_t function = 0; // a reply's as received: 0x80 + function for an exception
    std::uint16_t reg = 0;     // first register (request only)
    std::uint16_t count = 0;   // registers of a function-3 request
    std::uint8_t byteCount = 0;
    int length = 0;          // request: frame bytes; reply: bytes after the function code, no check
    std::uint32_t stamp = 0; // reply: when the wait began or last saw input; 0 = not started
    int readPos = kDataStart;
    int writePos = kDataStart;
    std::array<std::uint8_t, kHeaderRoom + kCapacity> data{};
};

inline constexpr std::uint8_t kHz70SlaveId = 0x8E;

// The serial link and the Modbus master: one object owns the port, a receive ring and a
// single-transaction master over it. All operations return at once except ReadRegisters,
// WriteRegister and ReportSlaveId, which block until their reply or time-out.
class TTrans {
public:
    static constexpr int kLineSize = 100;
    static constexpr int kPayloadLimit = 100;
    static constexpr std::uint32_t kBusGap = 60;           // ms of quiet before a polled request
    static constexpr std::uint32_t kBlockingPause = 20;    // ms before a blocking request
    static constexpr std::uint32_t kRecoveryQuiet = 60000; // ms of silence before re-applying
    static constexpr std::size_t kInputQueueSize = 1024;
    static constexpr std::size_t kOutputQueueSize = 350;
    // Input that never stops may keep restarting the reply time-out, but no wait lasts longer than this
    // many reply time-outs.
    static constexpr int kWaitBoundTimeouts = 3;
    // Bytes that may come before the line's echo (a glitch as the transceiver turns round).
    static constexpr std::size_t kMaxEchoLead = 16;

    TTrans(SerialPort& port, Clock& clock);
    ~TTrans();
    TTrans(const TTrans&) = delete;
    TTrans& operator=(const TTrans&) = delete;

    // --- link ---
    // The port's state afterwards: open on `port`, or the open failed.
    [[nodiscard]] PortState Open(int port);
    // Hands the port back as it was found; the port is closed afterwards, whatever it was before.
    void Close();
    // Stores the settings (refusing any index outside the tables) and applies them to an open port.
    // True when the port was open and accepted them.
    [[nodiscard]] bool SetSettings(const TTransSettings& s);
    void GetSettings(TTransSettings& s) const;
    // The bytes written (0 when the write failed); none when the port is not open.
    [[nodiscard]] std::optional<int> Send(const std::uint8_t* bytes, int length);
    // The bytes that were waiting (0: none, or an overflow that was thrown away); none when the port's
    // state cannot be read.
    [[nodiscard]] std::optional<int> ReadInput();
    // Reports every request, reception and verdict to `trace` (nullptr: none). Not owned.
    void SetTrace(LinkTrace* trace) { trace_ = trace; }

    // --- Modbus master ---
    void ResetPayload();
    // False when the payload already holds more than kPayloadLimit bytes, or the value would not fit.
    [[nodiscard]] bool PutValue(char kind, const void* value);
    // False when the value would reach past the end of the reply.
    [[nodiscard]] bool GetValue(char kind, void* destination);
    [[nodiscard]] ExchangeResult ReadRegistersAsync(std::uint8_t address, std::uint16_t reg,
                                                    std::uint16_t count);
    [[nodiscard]] ExchangeResult ReadRegisters(std::uint8_t address, std::uint16_t reg, std::uint16_t count);
    [[nodiscard]] ExchangeResult WriteRegister(std::uint8_t address, std::uint16_t reg);
    [[nodiscard]] ExchangeResult ReportSlaveId(std::uint8_t address, std::uint8_t* id);
    // One step of waiting for the reply, never blocking: none while the reply is still awaited.
    [[nodiscard]] std::optional<ExchangeResult> AwaitReply();

    // --- state, read-only ---
    [[nodiscard]] PortState portState() const { return portState_; }
    [[nodiscard]] int portIndex() const { return settings_.COM; }
    [[nodiscard]] int baudIndex() const { return settings_.Baud; }
    [[nodiscard]] int modeIndex() const { return settings_.Mode; }
    [[nodiscard]] int replyTimeout() const { return replyTimeout_; }
    [[nodiscard]] const std::string& dcbText() const { return dcbText_; }
    // True from sending a request until its reply or time-out has been taken.
    [[nodiscard]] bool awaitingReply() const { return awaitingReply_; }
    [[nodiscard]] const ModbusFrame& rxFrame() const { return rxFrame_; }
    // The registers of the last valid function-3 reply, in order; empty after any other reply or none.
    [[nodiscard]] std::span<const std::uint16_t> ReplyRegisters() const {
        return std::span(replyRegisters_).first(replyRegisterCount_);
    }

private:
    // Opens the configured port at the start of an exchange; false when it is not (or cannot be) open.
    bool EnsureOpen();
    void FinishPendingRead();
    // Waits, sleeping in the kernel, until AwaitReply has a result.
    ExchangeResult AwaitResult();
    [[nodiscard]] std::uint32_t MillisecondsLeftToWait(std::uint32_t now) const;
    // False when the port is not open: nothing was sent.
    [[nodiscard]] bool SendRequest();
    // False when the request does not fit the line.
    [[nodiscard]] bool BuildRead(std::uint8_t address, std::uint16_t reg, std::uint16_t count);
    // Puts `header` in front of the payload and encodes the frame into txLine; false when it does not fit.
    bool Assemble(const std::uint8_t* header, int headerLength);
    // A write's reply is byte for byte its request, so before the first write on a line whose echo is not
    // known yet, a read of the same register finds it out.
    void LearnLineEchoBeforeWrite(std::uint8_t address, std::uint16_t reg);
    // The function code of the reply found in the ring, if one has arrived whole.
    std::optional<std::uint8_t> ParseReply();
    void AcceptReply(const ReplySearch& search);
    void DecodeRegisters(std::span<const std::uint8_t> frame, std::size_t frameLength);
    void DropFromRing(std::size_t count, LinkEvent why);
    void Trace(LinkEvent event, std::span<const std::uint8_t> bytes = {});
    [[nodiscard]] Framing framing() const {
        return IsRtuMode(settings_.Mode) ? Framing::Rtu : Framing::Ascii;
    }
    [[nodiscard]] int PayloadLength() const { return txFrame_.writePos - ModbusFrame::kDataStart; }
    [[nodiscard]] int ReplyEnd() const { return ModbusFrame::kDataStart + 2 + rxFrame_.length; }

    SerialPort& port_;
    Clock& clock_;

    PortState portState_ = PortState::Closed();
    TTransSettings settings_;
    int replyTimeout_ = 1500; // from the settings, or the baud table's default
    std::string dcbText_ = "9600,N,8,1";
    LineConfig dcb_;
    ReceiveRing ring_;

    ModbusFrame txFrame_;
    ModbusFrame rxFrame_;
    std::array<std::uint16_t, kMaxFrameBytes / 2> replyRegisters_{};
    std::size_t replyRegisterCount_ = 0;
    std::array<std::uint8_t, kLineSize> txLine_{};
    int txLineLength_ = 0;
    bool awaitingReply_ = false;
    std::uint32_t lastRxTime_ = 0;
    std::uint32_t waitStart_ = 0; // when the current reply wait began
    LineEcho lineEcho_;
    LinkTrace* trace_ = nullptr;
};

} // namespace hz70
