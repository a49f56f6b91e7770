// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/ModbusChecksum.h"
#include "comm/Trans.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"
#include "support/RtuFrame.h"

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace hz70::test {

// One simulated controller on the fake bus.
struct FakeSlave {
    std::uint8_t slaveId = kHz70SlaveId;
    bool silent = false;
    std::map<std::uint16_t, std::uint16_t> registers;
    std::optional<std::uint8_t> writeException; // refuse every write with this exception code
    std::optional<int> readReplyWords;          // answer reads with this many words, whatever was asked
};

struct SeenRequest {
    std::uint8_t address = 0;
    std::uint8_t function = 0;
    std::uint16_t reg = 0;
    std::uint16_t operand = 0; // register count (function 3) or value (function 6)
};

// A bus of simulated controllers answering the master's RTU requests on a fake port, at once.
class FakeHz70Bus {
public:
    std::map<std::uint8_t, FakeSlave> slaves;
    std::vector<SeenRequest> requests;

    explicit FakeHz70Bus(FakeSerialPort& port) : port_(port) {
        port_.onWrite = [this](const Bytes& line) { Answer(line); };
    }

    [[nodiscard]] int RequestsTo(std::uint8_t address) const {
        int n = 0;
        for (const SeenRequest& r : requests) {
            n += r.address == address ? 1 : 0;
        }
        return n;
    }

private:
    static std::uint16_t Word(const Bytes& b, std::size_t at) {
        return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
    }
    static void PutWord(Bytes& b, std::uint16_t word) {
        b.push_back(static_cast<std::uint8_t>(word >> 8));
        b.push_back(static_cast<std::uint8_t>(word & 0xFF));
    }
    void Send(Bytes frame) { port_.Arrive(WithCrc(std::move(frame))); }

    void Answer(const Bytes& line) {
        if (line.size() < 4 || Crc16(line) != 0) {
            return;
        }
        SeenRequest request{line[0], line[1], 0, 0};
        if (line.size() >= 8) {
            request.reg = Word(line, 2);
            request.operand = Word(line, 4);
        }
        requests.push_back(request);
        const auto found = slaves.find(request.address);
        if (found == slaves.end() || found->second.silent) {
            return;
        }
        FakeSlave& slave = found->second;
        switch (request.function) {
        case 3: {
            const int words = slave.readReplyWords.value_or(request.operand);
            Bytes reply{request.address, 3, static_cast<std::uint8_t>(2 * words)};
            for (int i = 0; i < words; ++i) {
                PutWord(reply, slave.registers[static_cast<std::uint16_t>(request.reg + i)]);
            }
            Send(reply);
            break;
        }
        case 6:
            if (slave.writeException) {
                Send({request.address, 0x86, *slave.writeException});
            } else {
                slave.registers[request.reg] = request.operand;
                Send(Bytes(line.begin(), line.end() - 2));
            }
            break;
        case 0x11:
            Send({request.address, 0x11, 2, slave.slaveId, 0xFF});
            break;
        default:
            Send({request.address, static_cast<std::uint8_t>(request.function | 0x80), 1});
        }
    }

    FakeSerialPort& port_;
};

// A master on a fake RTU line of simulated controllers, its clock moving 1 ms at every look so that
// time-outs pass without waiting; 100 ms reply time-out unless told otherwise.
struct FakeHz70Line {
    FakeClock clock{1'000'000, 1};
    FakeSerialPort port;
    TTrans trans{port, clock};
    FakeHz70Bus bus{port};

    FakeHz70Line() { UseTimeout(100); }
    void UseTimeout(int milliseconds) { (void)trans.SetSettings(TTransSettings{0, 5, 6, 0, milliseconds}); }
};

} // namespace hz70::test
