// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/Trans.h"

#include "comm/ModbusChecksum.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace hz70 {

using enum ExchangeResult;

namespace {

constexpr std::uint8_t High(std::uint16_t word) {
    return static_cast<std::uint8_t>(word >> 8);
}

constexpr std::uint8_t Low(std::uint16_t word) {
    return static_cast<std::uint8_t>(word & 0xFF);
}

// Width in the frame of a fixed-size value kind; 0 for text and unknown kinds.
constexpr int FixedWidth(char kind) {
    switch (kind) {
    case 'c':
        return 1;
    case 'i':
        return 2;
    case 'l':
    case 'f':
    case 'g':
        return 4;
    default:
        return 0;
    }
}

// The no-value mark: single-precision 1e20.
constexpr std::uint32_t kNoValueBits = 0x60AD78EC;

float SanitizedFloat(float value) {
    // A NaN fails both comparisons, so it lands on the mark as well.
    if (value >= -1e20f && value <= 1e20f) {
        return value;
    }
    return std::bit_cast<float>(kNoValueBits);
}

} // namespace

bool SettingsInTables(const TTransSettings& settings) {
    return settings.COM >= 0 && settings.COM < kPortCount && settings.Baud >= 0 &&
           settings.Baud < static_cast<int>(kBaudTable.size()) && settings.Mode >= 0 &&
           settings.Mode < static_cast<int>(kModeTable.size());
}

ReplyTimeoutChoice ChooseReplyTimeout(const TTransSettings& settings) {
    using Source = ReplyTimeoutChoice::Source;
    if (settings.Timeout < kMinReplyTimeout) {
        return {kBaudTable[static_cast<std::size_t>(settings.Baud)].defaultTimeout, Source::BaudDefault};
    }
    if (settings.Timeout > kMaxReplyTimeout) {
        return {kMaxReplyTimeout, Source::Capped};
    }
    return {settings.Timeout, Source::Given};
}

TTrans::TTrans(SerialPort& port, Clock& clock) : port_(port), clock_(clock) {}

TTrans::~TTrans() {
    Close();
}

// --- link ---

PortState TTrans::Open(int port) {
    if (portState_ == PortState::OpenOn(port)) {
        return portState_;
    }
    if (portState_.isOpen()) {
        Close();
    }
    char name[16];
    std::snprintf(name, sizeof name, "COM%i", port + 1);
    if (!port_.Open(name)) {
        portState_ = PortState::OpenFailed();
        return portState_;
    }
    portState_ = PortState::OpenOn(port);
    lineEcho_.Forget();
    port_.SetQueueSizes(kInputQueueSize, kOutputQueueSize);
    port_.SaveState();
    port_.SetImmediateReads();
    (void)SetSettings(settings_);
    port_.Purge(SerialPort::TxClear | SerialPort::RxClear);
    return portState_;
}

void TTrans::Close() {
    if (portState_.isOpen() && port_.IsOpen()) {
        port_.Purge(SerialPort::TxAbort | SerialPort::RxAbort);
        port_.RestoreState();
        port_.ClearModemLine(SerialPort::ModemLine::Dtr);
        port_.ClearModemLine(SerialPort::ModemLine::Rts);
        port_.Close();
    }
    portState_ = PortState::Closed();
    ring_.Clear();
    awaitingReply_ = false;
    lineEcho_.Forget();
}

bool TTrans::SetSettings(const TTransSettings& s) {
    // An index outside the tables would configure nothing sensible: refuse it and keep what we have.
    if (!SettingsInTables(s)) {
        return false;
    }
    settings_ = s;
    replyTimeout_ = ChooseReplyTimeout(s).ms;
    char text[32];
    std::snprintf(text, sizeof text, "%s,%s", kBaudTable[s.Baud].text, kModeTable[s.Mode].text);
    dcbText_ = text;

    bool applied = false;
    if (portState_.isOpen()) {
        if (const auto built = ParseLineConfig(dcbText_)) {
            dcb_ = *built;
            dcb_.rtsWhileSending = true;
            // Going through 110 bit/s first makes every driver take the new rate afresh.
            dcb_.baudRate = 110;
            (void)port_.Apply(dcb_);
            dcb_.baudRate = kBaudTable[s.Baud].rate;
            applied = port_.Apply(dcb_);
        }
        port_.ClearModemLine(SerialPort::ModemLine::Rts);
    }
    awaitingReply_ = false;
    ring_.Clear();
    return applied;
}

void TTrans::GetSettings(TTransSettings& s) const {
    s = settings_;
}

std::optional<int> TTrans::Send(const std::uint8_t* bytes, int length) {
    if (!portState_.isOpen()) {
        return std::nullopt;
    }
    ResetPayload();
    ring_.Clear();
    // Late bytes of an earlier exchange that the driver still holds must not meet this request's reply.
    port_.Purge(SerialPort::RxClear);
    PortErrorState ignored;
    (void)port_.ReadErrorState(ignored);
    port_.ClearBreak();
    const int written = port_.Write(bytes, static_cast<std::size_t>(length));
    Trace(LinkEvent::Sent, {bytes, static_cast<std::size_t>(length)});
    return written > 0 ? written : 0;
}

std::optional<int> TTrans::ReadInput() {
    PortErrorState state;
    if (!port_.ReadErrorState(state)) {
        return std::nullopt;
    }
    if (state.inputOverflow) {
        port_.Purge(SerialPort::RxClear);
        return 0;
    }
    const std::size_t waiting = state.queuedInput;
    if (waiting == 0) {
        return 0;
    }
    // A ring full of bytes that form no reply gives its older half up; a read never takes more than the
    // ring holds, so nothing is overwritten and the rest waits in the driver.
    if (ring_.room() == 0) {
        DropFromRing(ReceiveRing::kSize / 2, LinkEvent::BytesSkipped);
    }
    std::array<std::uint8_t, ReceiveRing::kCapacity> buffer;
    const int got = port_.Read(buffer.data(), std::min(waiting, ring_.room()));
    if (got > 0) {
        const auto received = std::span(buffer).first(static_cast<std::size_t>(got));
        (void)ring_.Append(received);
        Trace(LinkEvent::Received, received);
    }
    return static_cast<int>(waiting);
}

// --- payload values ---

void TTrans::ResetPayload() {
    txFrame_.readPos = txFrame_.writePos = ModbusFrame::kDataStart;
}

bool TTrans::PutValue(char kind, const void* value) {
    if (PayloadLength() > kPayloadLimit) {
        return false;
    }
    std::uint8_t bytes[4];
    int width = FixedWidth(kind);
    const std::uint8_t* source = bytes;
    switch (kind) {
    case 'c':
        std::memcpy(bytes, value, 1);
        break;
    case 'i': {
        std::uint16_t word;
        std::memcpy(&word, value, sizeof word);
        bytes[0] = High(word);
        bytes[1] = Low(word);
        break;
    }
    case 'l':
    case 'f': {
        std::uint32_t dword;
        std::memcpy(&dword, value, sizeof dword);
        for (int i = 0; i < 4; ++i) {
            bytes[i] = static_cast<std::uint8_t>(dword >> (24 - 8 * i));
        }
        break;
    }
    case 'g':
        std::memcpy(bytes, value, 4);
        break;
    case 's':
        source = static_cast<const std::uint8_t*>(value);
        width = static_cast<int>(std::strlen(static_cast<const char*>(value))) + 1;
        break;
    default:
        return true;
    }
    // Never write past the frame, whatever the caller hands in.
    if (txFrame_.writePos + width > static_cast<int>(txFrame_.data.size())) {
        return false;
    }
    std::memcpy(&txFrame_.data[static_cast<std::size_t>(txFrame_.writePos)], source,
                static_cast<std::size_t>(width));
    txFrame_.writePos += width;
    return true;
}

bool TTrans::GetValue(char kind, void* destination) {
    const int end = ReplyEnd();
    if (rxFrame_.readPos > end) {
        return false;
    }
    const std::uint8_t* at = &rxFrame_.data[static_cast<std::size_t>(rxFrame_.readPos)];
    if (kind == 's') {
        // Stops at the NUL (the cursor stays on it) or at the end of the reply.
        auto* text = static_cast<char*>(destination);
        int n = 0;
        while (rxFrame_.readPos + n < end && at[n] != 0) {
            text[n] = static_cast<char>(at[n]);
            ++n;
        }
        text[n] = '\0';
        rxFrame_.readPos += n;
        return true;
    }
    const int width = FixedWidth(kind);
    if (width == 0) {
        return true;
    }
    // A value must lie wholly inside the reply: bytes past its end are check bytes or stale data.
    if (rxFrame_.readPos + width > end) {
        return false;
    }
    switch (kind) {
    case 'c':
        std::memcpy(destination, at, 1);
        break;
    case 'i': {
        const auto word = static_cast<std::uint16_t>((at[0] << 8) | at[1]);
        std::memcpy(destination, &word, sizeof word);
        break;
    }
    case 'l': {
        std::uint32_t dword = 0;
        for (int i = 0; i < 4; ++i) {
            dword = (dword << 8) | at[i];
        }
        std::memcpy(destination, &dword, sizeof dword);
        break;
    }
    case 'f':
    case 'g': {
        std::uint32_t dword = 0;
        for (int i = 0; i < 4; ++i) {
            const int index = kind == 'f' ? i : 3 - i;
            dword = (dword << 8) | at[index];
        }
        const float value = SanitizedFloat(std::bit_cast<float>(dword));
        std::memcpy(destination, &value, sizeof value);
        break;
    }
    default:
        break;
    }
    rxFrame_.readPos += width;
    return true;
}

// --- requests ---

bool TTrans::Assemble(const std::uint8_t* header, int headerLength) {
    const int length = PayloadLength() + headerLength;
    const int frameStart = ModbusFrame::kDataStart - headerLength;
    std::memcpy(&txFrame_.data[static_cast<std::size_t>(frameStart)], header,
                static_cast<std::size_t>(headerLength));
    const std::span<const std::uint8_t> frame(&txFrame_.data[static_cast<std::size_t>(frameStart)],
                                              static_cast<std::size_t>(length));
    const std::size_t lineLength = EncodeFrame(framing(), frame, txLine_);
    if (lineLength == 0) {
        return false;
    }
    txLineLength_ = static_cast<int>(lineLength);
    txFrame_.length = length;
    txFrame_.address = header[0];
    txFrame_.function = header[1];
    txFrame_.readPos = txFrame_.writePos = ModbusFrame::kDataStart;
    return true;
}

bool TTrans::BuildRead(std::uint8_t address, std::uint16_t reg, std::uint16_t count) {
    ResetPayload();
    const std::uint8_t header[] = {address,  kReadHoldingRegisters, High(reg),
                                   Low(reg), High(count),           Low(count)};
    if (!Assemble(header, sizeof header)) {
        return false;
    }
    txFrame_.reg = reg;
    txFrame_.count = count;
    return true;
}

bool TTrans::SendRequest() {
    if (!Send(txLine_.data(), txLineLength_)) {
        return false;
    }
    awaitingReply_ = true;
    rxFrame_.stamp = 0;
    lineEcho_.RequestSent();
    return true;
}

bool TTrans::EnsureOpen() {
    if (portState_.isClosed()) {
        (void)Open(settings_.COM);
    }
    return portState_.isOpen();
}

void TTrans::FinishPendingRead() {
    if (awaitingReply_) {
        (void)AwaitResult();
        awaitingReply_ = false;
    }
}

ExchangeResult TTrans::AwaitResult() {
    for (;;) {
        if (const auto result = AwaitReply()) {
            return *result;
        }
        if (port_.WaitForInput(MillisecondsLeftToWait(clock_.GetTickCount())) == InputWait::Failed) {
            // The device went away: no reply can come, so the wait ends now rather than at its time-out.
            ring_.Clear();
            Trace(LinkEvent::TimedOut);
            return kNoReply;
        }
    }
}

std::uint32_t TTrans::MillisecondsLeftToWait(std::uint32_t now) const {
    const auto timeout = static_cast<std::uint32_t>(replyTimeout_);
    const std::uint32_t bound = kWaitBoundTimeouts * timeout;
    const std::uint32_t sinceInput = now - rxFrame_.stamp;
    const std::uint32_t sinceStart = now - waitStart_;
    const std::uint32_t left = std::min(sinceInput < timeout ? timeout - sinceInput : 0,
                                        sinceStart < bound ? bound - sinceStart : 0);
    return left + 1; // the time-out is over only once it has been exceeded
}

// --- exchanges ---

ExchangeResult TTrans::ReadRegistersAsync(std::uint8_t address, std::uint16_t reg, std::uint16_t count) {
    if (!EnsureOpen()) {
        return kPortNotOpen;
    }
    if (address == 0) {
        return kRefused;
    }
    if (awaitingReply_) {
        const auto reply = AwaitReply();
        if (!reply) {
            return kBusy;
        }
        awaitingReply_ = false;
        ExchangeResult result = *reply;
        if (result == kReadOk) {
            const bool answersRequest = txFrame_.address == address &&
                                        txFrame_.function == kReadHoldingRegisters && txFrame_.reg == reg &&
                                        rxFrame_.function == kReadHoldingRegisters;
            if (!answersRequest) {
                result = kNoReply;
            }
        }
        return result;
    }
    if (clock_.GetTickCount() - rxFrame_.stamp < kBusGap) {
        return kBusy;
    }
    if (!BuildRead(address, reg, count)) {
        return kRefused;
    }
    if (!SendRequest()) {
        return kPortNotOpen;
    }
    return kBusy;
}

ExchangeResult TTrans::ReadRegisters(std::uint8_t address, std::uint16_t reg, std::uint16_t count) {
    if (!EnsureOpen()) {
        return kPortNotOpen;
    }
    if (address == 0) {
        return kRefused;
    }
    FinishPendingRead();
    clock_.Sleep(kBlockingPause);
    if (!BuildRead(address, reg, count)) {
        return kRefused;
    }
    if (!SendRequest()) {
        return kPortNotOpen;
    }
    ExchangeResult result = AwaitResult();
    if (result == kNoReply) {
        if (!SendRequest()) {
            awaitingReply_ = false;
            return kPortNotOpen;
        }
        result = AwaitResult();
    }
    awaitingReply_ = false;
    return result;
}

ExchangeResult TTrans::WriteRegister(std::uint8_t address, std::uint16_t reg) {
    if (!EnsureOpen()) {
        return kPortNotOpen;
    }
    if (PayloadLength() == 0) {
        return kRefused;
    }
    if (LineLength(framing(), static_cast<std::size_t>(PayloadLength() + 4)) > kLineSize) {
        ResetPayload();
        return kRefused;
    }
    FinishPendingRead();
    if (lineEcho_.habit() == LineEcho::Habit::Unknown && address != 0) {
        LearnLineEchoBeforeWrite(address, reg);
    }
    clock_.Sleep(kBlockingPause);
    const std::uint8_t header[] = {address, kWriteSingleRegister, High(reg), Low(reg)};
    if (!Assemble(header, sizeof header)) {
        ResetPayload();
        return kRefused;
    }
    txFrame_.reg = reg;
    if (!SendRequest()) {
        return kPortNotOpen;
    }
    const ExchangeResult result = AwaitResult();
    awaitingReply_ = false;
    return result;
}

ExchangeResult TTrans::ReportSlaveId(std::uint8_t address, std::uint8_t* id) {
    if (!EnsureOpen()) {
        return kPortNotOpen;
    }
    FinishPendingRead();
    clock_.Sleep(kBlockingPause);
    ResetPayload();
    const std::uint8_t header[] = {address, kReportSlaveId};
    if (!Assemble(header, sizeof header)) {
        return kRefused;
    }
    if (!SendRequest()) {
        return kPortNotOpen;
    }
    const ExchangeResult result = AwaitResult();
    // The slave id is the byte after the byte count; a reply too short to hold it leaves `id` alone.
    constexpr int kIdByte = 3;
    if (result == kSlaveIdOk && id != nullptr && ModbusFrame::kDataStart + kIdByte < ReplyEnd()) {
        *id = rxFrame_.data[ModbusFrame::kDataStart + kIdByte];
    }
    awaitingReply_ = false;
    return result;
}

void TTrans::LearnLineEchoBeforeWrite(std::uint8_t address, std::uint16_t reg) {
    // The read leaves the payload's bytes where they are; only its cursor must come back.
    const int payloadEnd = txFrame_.writePos;
    clock_.Sleep(kBlockingPause);
    if (BuildRead(address, reg, 1) && SendRequest()) {
        (void)AwaitResult();
    }
    awaitingReply_ = false;
    txFrame_.writePos = payloadEnd;
}

// --- replies ---

std::optional<ExchangeResult> TTrans::AwaitReply() {
    const std::uint32_t now = clock_.GetTickCount();
    if (rxFrame_.stamp == 0) {
        rxFrame_.stamp = now;
        waitStart_ = now;
    }
    std::optional<std::uint8_t> function;
    if (ReadInput().value_or(0) > 0) {
        lastRxTime_ = now;
        rxFrame_.stamp = now;
        lineEcho_.InputArrived();
        function = ParseReply();
    }
    // A write's request is byte for byte its reply.
    const bool requestLooksLikeReply = txFrame_.function == kWriteSingleRegister;
    if (function) {
        lineEcho_.FrameArrived();
        lineEcho_.WaitEnded(requestLooksLikeReply);
        Trace(LinkEvent::ReplyAccepted,
              {&rxFrame_.data[ModbusFrame::kDataStart], static_cast<std::size_t>(rxFrame_.length + 2)});
        // What followed the reply in the same reception is not for us.
        DropFromRing(ring_.size(), LinkEvent::BytesSkipped);
        return ReplyResult(*function);
    }
    const bool timedOut = now - rxFrame_.stamp > static_cast<std::uint32_t>(replyTimeout_);
    const bool pastBound = now - waitStart_ > kWaitBoundTimeouts * static_cast<std::uint32_t>(replyTimeout_);
    if (timedOut || pastBound) {
        lineEcho_.WaitEnded(requestLooksLikeReply);
        DropFromRing(ring_.size(), LinkEvent::BytesSkipped);
        Trace(timedOut ? LinkEvent::TimedOut : LinkEvent::InputNeverEnds);
        if (now - lastRxTime_ > kRecoveryQuiet) {
            lastRxTime_ = now;
            (void)SetSettings(settings_);
        }
        return kNoReply;
    }
    return std::nullopt;
}

std::optional<std::uint8_t> TTrans::ParseReply() {
    rxFrame_.length = 0;
    rxFrame_.readPos = rxFrame_.writePos = ModbusFrame::kDataStart;
    rxFrame_.function = 0;
    replyRegisterCount_ = 0;
    std::array<std::uint8_t, ReceiveRing::kSize> copy;
    std::span<const std::uint8_t> input = ring_.CopyTo(copy);
    if (lineEcho_.echoExpected()) {
        const auto request = std::span(txLine_).first(static_cast<std::size_t>(txLineLength_));
        if (const auto echo = FindEcho(input, request, kMaxEchoLead)) {
            DropFromRing(*echo, LinkEvent::BytesSkipped);
            DropFromRing(request.size(), LinkEvent::EchoDropped);
            lineEcho_.EchoArrived();
            input = ring_.CopyTo(copy);
        }
    }
    const int byteCount = txFrame_.function == kReadHoldingRegisters ? 2 * txFrame_.count : -1;
    const ReplySearch search = FindReply(framing(), input, {txFrame_.address, txFrame_.function, byteCount});
    for (int i = 0; i < search.badChecks; ++i) {
        Trace(LinkEvent::BadCheck);
    }
    if (search.foreign) {
        // Another slave's frame, or a late reply to an earlier request: the wait goes on for ours.
        lineEcho_.FrameArrived();
        DropFromRing(search.foreignStart, LinkEvent::BytesSkipped);
        DropFromRing(search.foreignEnd - search.foreignStart, LinkEvent::NotOurReply);
        return ParseReply();
    }
    if (!search.found) {
        DropFromRing(search.settled, LinkEvent::BytesSkipped);
        return std::nullopt;
    }
    DropFromRing(search.frameStart, LinkEvent::BytesSkipped);
    ring_.Drop(search.frameEnd - search.frameStart);
    AcceptReply(search);
    return rxFrame_.function;
}

// Fills the reply fields from the frame found (address and function first, no check bytes).
void TTrans::AcceptReply(const ReplySearch& search) {
    std::copy_n(search.frame.begin(), search.frameLength, rxFrame_.data.begin() + ModbusFrame::kDataStart);
    const std::uint8_t* bytes = &rxFrame_.data[ModbusFrame::kDataStart];
    rxFrame_.address = bytes[0];
    rxFrame_.function = bytes[1];
    rxFrame_.length = static_cast<int>(search.frameLength) - 2;
    rxFrame_.byteCount = bytes[2];
    rxFrame_.readPos = ModbusFrame::kDataStart + 2;
    rxFrame_.writePos = ModbusFrame::kDataStart + static_cast<int>(search.frameLength);
    if (rxFrame_.function == kReadHoldingRegisters) {
        rxFrame_.readPos = ModbusFrame::kDataStart + 3;
        DecodeRegisters(search.frame, search.frameLength);
    }
}

void TTrans::DecodeRegisters(std::span<const std::uint8_t> frame, std::size_t frameLength) {
    const std::size_t dataBytes = std::min<std::size_t>(frame[2], frameLength - 3);
    replyRegisterCount_ = dataBytes / 2;
    for (std::size_t i = 0; i < replyRegisterCount_; ++i) {
        replyRegisters_[i] = static_cast<std::uint16_t>(frame[3 + 2 * i] << 8 | frame[4 + 2 * i]);
    }
}

void TTrans::DropFromRing(std::size_t count, LinkEvent why) {
    count = std::min(count, ring_.size());
    if (count == 0) {
        return;
    }
    if (trace_ != nullptr) {
        std::array<std::uint8_t, ReceiveRing::kSize> held;
        Trace(why, ring_.CopyTo(held).first(count));
    }
    ring_.Drop(count);
}

void TTrans::Trace(LinkEvent event, std::span<const std::uint8_t> bytes) {
    if (trace_ != nullptr) {
        trace_->Record({event, bytes, framing() == Framing::Ascii});
    }
}

} // namespace hz70
