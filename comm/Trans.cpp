// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/Trans.h"

#include "comm/ModbusChecksum.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace hz70 {
namespace {

constexpr int Next(int position) {
    return (position + 1) % TTrans::kRingSize;
}

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

// A function-3 reply must carry exactly as many data bytes as its byte count says. `frameBytes` counts
// the address, the function and the data, without the check bytes.
bool ByteCountMatches(const std::uint8_t* bytes, int frameBytes) {
    return bytes[1] != 3 || frameBytes - 3 == bytes[2];
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

TTrans::TTrans(SerialPort& port, Clock& clock) : port_(port), clock_(clock) {}

TTrans::~TTrans() {
    Close();
}

// --- link ---

int TTrans::Open(int port) {
    if (port == portState_) {
        return port;
    }
    if (portState_ >= 0) {
        Close();
    }
    char name[16];
    std::snprintf(name, sizeof name, "COM%i", port + 1);
    if (!port_.Open(name)) {
        portState_ = kOpenFailed;
        return kOpenFailed;
    }
    portState_ = port;
    port_.SetQueueSizes(kInputQueueSize, kOutputQueueSize);
    port_.SaveState();
    port_.SetImmediateReads();
    SetSettings(settings_);
    port_.Purge(SerialPort::TxClear | SerialPort::RxClear);
    return portState_;
}

int TTrans::Close() {
    if (portState_ >= 0 && port_.IsOpen()) {
        port_.Purge(SerialPort::TxAbort | SerialPort::RxAbort);
        port_.RestoreState();
        port_.ClearModemLine(SerialPort::ModemLine::Dtr);
        port_.ClearModemLine(SerialPort::ModemLine::Rts);
        port_.Close();
    }
    portState_ = kClosed;
    rxHead_ = rxTail_ = 0;
    transState_ = 0;
    return kClosed;
}

int TTrans::SetSettings(const TTransSettings& s) {
    // An index outside the tables would configure nothing sensible: refuse it and keep what we have.
    if (!SettingsInTables(s)) {
        return 0;
    }
    settings_ = s;
    portIndex_ = s.COM;
    baudIndex_ = s.Baud;
    replyTimeout_ = s.Timeout >= kMinReplyTimeout ? s.Timeout : kBaudTable[s.Baud].defaultTimeout;
    modeIndex_ = s.Mode;
    type_ = s.Type;
    char text[32];
    std::snprintf(text, sizeof text, "%s,%s", kBaudTable[s.Baud].text, kModeTable[s.Mode].text);
    dcbText_ = text;

    int result = 0;
    if (portState_ >= 0) {
        if (const auto built = ParseLineConfig(dcbText_)) {
            dcb_ = *built;
            dcb_.rtsWhileSending = true;
            // Going through 110 bit/s first makes every driver take the new rate afresh.
            dcb_.baudRate = 110;
            (void)port_.Apply(dcb_);
            dcb_.baudRate = kBaudTable[s.Baud].rate;
            result = port_.Apply(dcb_) ? 1 : 0;
        }
        port_.ClearModemLine(SerialPort::ModemLine::Rts);
    }
    transState_ = 0;
    rxHead_ = rxTail_ = 0;
    return result;
}

void TTrans::GetSettings(TTransSettings& s) const {
    s = settings_;
}

int TTrans::Send(const std::uint8_t* bytes, int length) {
    if (portState_ < 0) {
        return kPortNotOpen;
    }
    ResetPayload();
    rxHead_ = rxTail_ = 0;
    PortErrorState ignored;
    (void)port_.ReadErrorState(ignored);
    port_.ClearBreak();
    const int written = port_.Write(bytes, static_cast<std::size_t>(length));
    return written > 0 ? written : 0;
}

int TTrans::ReadInput() {
    PortErrorState state;
    if (!port_.ReadErrorState(state)) {
        return -1;
    }
    if (state.inputOverflow) {
        port_.Purge(SerialPort::RxClear);
        return 0;
    }
    const std::size_t waiting = state.queuedInput;
    if (waiting == 0) {
        return 0;
    }
    std::vector<std::uint8_t> buffer(waiting);
    const int got = port_.Read(buffer.data(), buffer.size());
    for (int i = 0; i < got; ++i) {
        rxRing_[static_cast<std::size_t>(rxHead_)] = buffer[static_cast<std::size_t>(i)];
        rxHead_ = Next(rxHead_);
    }
    return static_cast<int>(waiting);
}

// --- payload values ---

void TTrans::ResetPayload() {
    txFrame_.readPos = txFrame_.writePos = ModbusFrame::kDataStart;
}

int TTrans::PutValue(char kind, const void* value) {
    if (PayloadLength() > kPayloadLimit) {
        return -1;
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
        return 0;
    }
    // Never write past the frame, whatever the caller hands in.
    if (txFrame_.writePos + width > static_cast<int>(txFrame_.data.size())) {
        return -1;
    }
    std::memcpy(&txFrame_.data[static_cast<std::size_t>(txFrame_.writePos)], source,
                static_cast<std::size_t>(width));
    txFrame_.writePos += width;
    return 0;
}

int TTrans::GetValue(char kind, void* destination) {
    const int end = ReplyEnd();
    if (rxFrame_.readPos > end) {
        return -1;
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
        return 0;
    }
    const int width = FixedWidth(kind);
    if (width == 0) {
        return 0;
    }
    // A value must lie wholly inside the reply: bytes past its end are check bytes or stale data.
    if (rxFrame_.readPos + width > end) {
        return -1;
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
    return 0;
}

// --- requests ---

bool TTrans::Assemble(const std::uint8_t* header, int headerLength) {
    const int length = PayloadLength() + headerLength;
    const bool rtu = IsRtuMode(modeIndex_);
    const int lineLength = rtu ? length + 2 : 1 + 2 * length + 4;
    if (lineLength > kLineSize) {
        return false;
    }
    txFrame_.readPos = ModbusFrame::kDataStart - headerLength;
    std::memcpy(&txFrame_.data[static_cast<std::size_t>(txFrame_.readPos)], header,
                static_cast<std::size_t>(headerLength));
    txFrame_.length = length;
    txFrame_.address = header[0];
    txFrame_.function = header[1];
    Encode();
    return true;
}

void TTrans::Encode() {
    const std::span<const std::uint8_t> frame(&txFrame_.data[static_cast<std::size_t>(txFrame_.readPos)],
                                              static_cast<std::size_t>(txFrame_.length));
    int n = 0;
    if (IsRtuMode(modeIndex_)) {
        for (const std::uint8_t byte : frame) {
            txLine_[static_cast<std::size_t>(n++)] = byte;
        }
        const std::uint16_t crc = Crc16(frame);
        txLine_[static_cast<std::size_t>(n++)] = Low(crc);
        txLine_[static_cast<std::size_t>(n++)] = High(crc);
    } else {
        const auto putHex = [&](std::uint8_t byte) {
            txLine_[static_cast<std::size_t>(n++)] = static_cast<std::uint8_t>(HexDigit(byte >> 4));
            txLine_[static_cast<std::size_t>(n++)] = static_cast<std::uint8_t>(HexDigit(byte));
        };
        txLine_[static_cast<std::size_t>(n++)] = ':';
        for (const std::uint8_t byte : frame) {
            putHex(byte);
        }
        putHex(Lrc(frame));
        txLine_[static_cast<std::size_t>(n++)] = '\r';
        txLine_[static_cast<std::size_t>(n++)] = '\n';
    }
    txLineLength_ = n;
    txFrame_.readPos = txFrame_.writePos = ModbusFrame::kDataStart;
}

int TTrans::BuildRead(std::uint8_t address, std::uint16_t reg, std::uint16_t count) {
    ResetPayload();
    const std::uint8_t header[] = {address, 3, High(reg), Low(reg), High(count), Low(count)};
    if (!Assemble(header, sizeof header)) {
        return kRefused;
    }
    txFrame_.reg = reg;
    txFrame_.count = count;
    return 0;
}

int TTrans::SendRequest() {
    const int sent = Send(txLine_.data(), txLineLength_);
    if (sent < 0) {
        return sent;
    }
    transState_ = kBusy;
    rxFrame_.stamp = 0;
    return 0;
}

bool TTrans::EnsureOpen() {
    if (portState_ == kClosed) {
        Open(portIndex_);
    }
    return portState_ >= 0;
}

void TTrans::FinishPendingRead() {
    if (transState_ == kBusy) {
        (void)AwaitResult();
        transState_ = 0;
    }
}

int TTrans::AwaitResult() {
    int result;
    do {
        result = AwaitReply();
    } while (result < 0);
    return result;
}

// --- exchanges ---

int TTrans::ReadRegistersAsync(std::uint8_t address, std::uint16_t reg, std::uint16_t count) {
    if (!EnsureOpen()) {
        return kPortNotOpen;
    }
    if (address == 0) {
        return kRefused;
    }
    if (transState_ == kBusy) {
        int result = AwaitReply();
        if (result <= 0) {
            return kBusy;
        }
        transState_ = 0;
        if (result == kReadOk) {
            const bool answersRequest = txFrame_.address == address && txFrame_.function == 3 &&
                                        txFrame_.reg == reg && rxFrame_.function == 3;
            if (!answersRequest) {
                result = kNoReply;
            }
        }
        return result;
    }
    if (clock_.GetTickCount() - rxFrame_.stamp < kBusGap) {
        return kBusy;
    }
    if (const int built = BuildRead(address, reg, count); built < 0) {
        return built;
    }
    if (const int sent = SendRequest(); sent < 0) {
        return sent;
    }
    return kBusy;
}

int TTrans::ReadRegisters(std::uint8_t address, std::uint16_t reg, std::uint16_t count) {
    if (!EnsureOpen()) {
        return kPortNotOpen;
    }
    if (address == 0) {
        return kRefused;
    }
    FinishPendingRead();
    clock_.Sleep(kBlockingPause);
    if (const int built = BuildRead(address, reg, count); built < 0) {
        return built;
    }
    if (const int sent = SendRequest(); sent < 0) {
        return sent;
    }
    int result = AwaitResult();
    if (result == kNoReply) {
        if (const int sent = SendRequest(); sent < 0) {
            transState_ = 0;
            return sent;
        }
        result = AwaitResult();
    }
    transState_ = 0;
    return result;
}

int TTrans::WriteRegister(std::uint8_t address, std::uint16_t reg) {
    if (!EnsureOpen()) {
        return kPortNotOpen;
    }
    if (PayloadLength() == 0) {
        return kRefused;
    }
    FinishPendingRead();
    clock_.Sleep(kBlockingPause);
    const std::uint8_t header[] = {address, 6, High(reg), Low(reg)};
    if (!Assemble(header, sizeof header)) {
        ResetPayload();
        return kRefused;
    }
    txFrame_.reg = reg;
    if (const int sent = SendRequest(); sent < 0) {
        return sent;
    }
    const int result = AwaitResult();
    transState_ = 0;
    return result;
}

int TTrans::ReportSlaveId(std::uint8_t address, std::uint8_t* id) {
    if (!EnsureOpen()) {
        return kPortNotOpen;
    }
    FinishPendingRead();
    // This pause watches the tick instead of sleeping.
    const std::uint32_t pauseStart = clock_.GetTickCount();
    while (clock_.GetTickCount() - pauseStart < kBlockingPause) {
    }
    ResetPayload();
    const std::uint8_t header[] = {address, 0x11};
    if (!Assemble(header, sizeof header)) {
        return kRefused;
    }
    if (const int sent = SendRequest(); sent < 0) {
        return sent;
    }
    const int result = AwaitResult();
    // The slave id is the byte after the byte count; a reply too short to hold it leaves `id` alone.
    constexpr int kIdByte = 3;
    if (result == kSlaveIdOk && id != nullptr && ModbusFrame::kDataStart + kIdByte < ReplyEnd()) {
        *id = rxFrame_.data[ModbusFrame::kDataStart + kIdByte];
    }
    transState_ = 0;
    return result;
}

// --- replies ---

int TTrans::AwaitReply() {
    const std::uint32_t now = clock_.GetTickCount();
    if (rxFrame_.stamp == 0) {
        rxFrame_.stamp = now;
    }
    int result = -1;
    if (ReadInput() > 0) {
        lastRxTime_ = now;
        rxFrame_.stamp = now;
        result = ParseReply();
    }
    if (result > 0) {
        return rxFrame_.address != txFrame_.address ? kNoReply : result;
    }
    if (now - rxFrame_.stamp > static_cast<std::uint32_t>(replyTimeout_)) {
        rxHead_ = rxTail_ = 0;
        if (now - lastRxTime_ > kRecoveryQuiet) {
            lastRxTime_ = now;
            SetSettings(settings_);
        }
        return kNoReply;
    }
    return -1;
}

int TTrans::ParseReply() {
    rxFrame_.length = 0;
    rxFrame_.readPos = rxFrame_.writePos = ModbusFrame::kDataStart;
    rxFrame_.function = 0;
    return IsRtuMode(modeIndex_) ? ParseRtu() : ParseAscii();
}

// Fills the reply fields from the `frameBytes` bytes stored at the data start (address and function
// first, no check bytes among them).
void TTrans::AcceptReply(int frameBytes) {
    const std::uint8_t* bytes = &rxFrame_.data[ModbusFrame::kDataStart];
    rxFrame_.address = bytes[0];
    rxFrame_.function = bytes[1];
    rxFrame_.length = frameBytes - 2;
    rxFrame_.byteCount = bytes[2];
    rxFrame_.readPos = ModbusFrame::kDataStart + 2;
    if (rxFrame_.function == 3) {
        rxFrame_.readPos = ModbusFrame::kDataStart + 3;
    }
}

int TTrans::ParseAscii() {
    // The smallest frame that can be valid: address, function, LRC.
    constexpr int kMinFrameBytes = 3;
    // Frames are collected apart from rxFrame, so that a later broken or partial frame in the same scan
    // cannot overwrite the bytes of one already accepted.
    std::array<std::uint8_t, ModbusFrame::kCapacity> bytes;
    int count = 0;
    int result = -1;
    bool inFrame = false;
    std::uint8_t sum = 0;
    int digits = 0;
    int highNibble = 0;
    for (int pos = rxTail_; pos != rxHead_; pos = Next(pos)) {
        const std::uint8_t c = rxRing_[static_cast<std::size_t>(pos)];
        if (c == ':') {
            inFrame = true;
        }
        if (!inFrame) {
            rxTail_ = Next(pos);
            continue;
        }
        if (c == ':') {
            sum = 0;
            digits = 0;
            count = 0;
        } else if (c == '\r') {
            continue;
        } else if (const int value = HexValue(c); value >= 0) {
            if (digits % 2 == 0) {
                highNibble = value;
            } else if (count < ModbusFrame::kCapacity) {
                const auto byte = static_cast<std::uint8_t>((highNibble << 4) | value);
                bytes[static_cast<std::size_t>(count++)] = byte;
                sum = static_cast<std::uint8_t>(sum + byte);
            } else {
                // Longer than any reply can be: give the frame up.
                inFrame = false;
                rxTail_ = Next(pos);
                continue;
            }
            ++digits;
        } else if (c == '\n') {
            inFrame = false;
            rxTail_ = Next(pos);
            if (sum == 0 && count >= kMinFrameBytes && ByteCountMatches(bytes.data(), count - 1)) {
                std::copy_n(bytes.begin(), count, rxFrame_.data.begin() + ModbusFrame::kDataStart);
                AcceptReply(count - 1);
                result = rxFrame_.function;
            }
        } else {
            inFrame = false;
        }
    }
    return result;
}

int TTrans::ParseRtu() {
    constexpr int kEnd = ModbusFrame::kDataStart + ModbusFrame::kCapacity;
    // The smallest frame that can be valid: address, function, two CRC bytes.
    constexpr int kMinFrameBytes = 4;
    std::uint16_t crc = kCrc16Initial;
    for (int pos = rxTail_; pos != rxHead_; pos = Next(pos)) {
        if (rxFrame_.writePos >= kEnd) {
            // Garbage longer than any reply: drop what was scanned and start afresh with new input.
            rxTail_ = pos;
            rxFrame_.writePos = ModbusFrame::kDataStart;
            return -1;
        }
        const std::uint8_t byte = rxRing_[static_cast<std::size_t>(pos)];
        rxFrame_.data[static_cast<std::size_t>(rxFrame_.writePos++)] = byte;
        crc = Crc16Update(crc, byte);
        const int next = Next(pos);
        const bool frameEnds = crc == 0 && (next == rxHead_ || rxRing_[static_cast<std::size_t>(next)] != 0);
        if (!frameEnds) {
            continue;
        }
        rxTail_ = rxHead_ = next;
        const int frameBytes = rxFrame_.writePos - ModbusFrame::kDataStart;
        if (frameBytes < kMinFrameBytes) {
            rxFrame_.writePos = ModbusFrame::kDataStart;
            return -1;
        }
        const std::uint8_t* bytes = &rxFrame_.data[ModbusFrame::kDataStart];
        if (!ByteCountMatches(bytes, frameBytes - 2)) {
            return -1;
        }
        AcceptReply(frameBytes - 2);
        return rxFrame_.function;
    }
    return -1;
}

} // namespace hz70
