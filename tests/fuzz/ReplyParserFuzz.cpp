// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes, in arbitrary pieces, to the master while it waits for replies in RTU and in
// ASCII framing, and reads values out of whatever it accepts. Sanitizers catch any access outside the
// ring, the frames or the caller's buffers.
#include "comm/Trans.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"

#include <cstddef>
#include <cstdint>

namespace {

using hz70::TTrans;
using hz70::TTransSettings;
using hz70::test::Bytes;
using hz70::test::FakeClock;
using hz70::test::FakeSerialPort;

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    [[nodiscard]] bool empty() const { return size_ == 0; }
    std::uint8_t Byte() {
        if (size_ == 0) {
            return 0;
        }
        --size_;
        return *data_++;
    }
    Bytes Take(std::size_t n) {
        n = n < size_ ? n : size_;
        Bytes bytes(data_, data_ + n);
        data_ += n;
        size_ -= n;
        return bytes;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

void ReadEverything(TTrans& trans) {
    char text[256];
    std::uint32_t value = 0;
    for (const char kind : {'c', 'i', 'l', 'f', 'g', 's'}) {
        while (trans.GetValue(kind, kind == 's' ? static_cast<void*>(text) : &value) && kind != 's') {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    FakeClock clock(1'000'000, 1);
    FakeSerialPort port;
    TTrans trans(port, clock);
    TTransSettings settings;
    const std::uint8_t setup = input.Byte();
    settings.Mode = setup % 7;
    settings.Timeout = 100;
    (void)trans.SetSettings(settings);

    while (!input.empty()) {
        const std::uint8_t op = input.Byte();
        // Up to 600 bytes at once: more than the ring holds, so it wraps.
        const std::size_t length = (op & 0x80) != 0 ? 300u + input.Byte() : input.Byte() % 64u;
        port.Arrive(input.Take(length));
        switch (op % 4) {
        case 0:
        case 1: {
            const hz70::ExchangeResult result = trans.ReadRegistersAsync(1, 4018, 7);
            if (result == hz70::ExchangeResult::kReadOk || hz70::IsExceptionReply(result)) {
                ReadEverything(trans);
            }
            clock.Advance(op % 2 == 0 ? 10 : 70);
            break;
        }
        case 2: {
            std::uint8_t id = 0;
            if (ToInt(trans.ReportSlaveId(input.Byte(), &id)) > 0) {
                ReadEverything(trans);
            }
            break;
        }
        default:
            if (ToInt(trans.ReadRegisters(1, 4000, 16)) > 0) {
                ReadEverything(trans);
            }
            break;
        }
    }
    return 0;
}
