// Transactions per second of 10-register reads (function 3) over loopback
// TCP, poll delay 0: Pullrec's master against libmodbus's client, both talking
// to the same libmodbus slave, in alternating rounds.
#include "LibmodbusSlave.h"

#include "modbus/MbusTcpMasterProtocol.h"

#include <chrono>
#include <cstdio>
#include <modbus.h>

namespace
{

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 5;
constexpr auto kRoundTime = std::chrono::milliseconds(300);
constexpr int kRegisters = 10;

// Runs read() until the round time is up; returns transactions per second, or -1 on a failed read.
template <typename Read> double measure(Read read)
{
    const auto start = Clock::now();
    long done = 0;
    Clock::time_point now;
    do {
        if (!read())
            return -1;
        ++done;
        now = Clock::now();
    } while (now - start < kRoundTime);
    return done / std::chrono::duration<double>(now - start).count();
}

double pullrecRound(unsigned short port)
{
    MbusTcpMasterProtocol master;
    master.setPort(port);
    if (master.open("127.0.0.1") != Success)
        return -1;
    int16_t values[kRegisters];
    return measure([&] { return master.readHoldingRegisters(1, 1, values, kRegisters) == Success; });
}

double libmodbusRound(unsigned short port)
{
    modbus_t *ctx = modbus_new_tcp("127.0.0.1", port);
    if (ctx == nullptr || modbus_connect(ctx) != 0) {
        modbus_free(ctx);
        return -1;
    }
    modbus_set_slave(ctx, 1);
    uint16_t values[kRegisters];
    const double rate =
        measure([&] { return modbus_read_registers(ctx, 0, kRegisters, values) == kRegisters; });
    modbus_close(ctx);
    modbus_free(ctx);
    return rate;
}

} // namespace

int main()
{
    auto slave = LibmodbusSlave::tcp();
    if (!slave->ok()) {
        std::fprintf(stderr, "cannot start the libmodbus slave\n");
        return 1;
    }
    double pullrecSum = 0;
    double libmodbusSum = 0;
    std::printf("round  pullrec tx/s  libmodbus tx/s\n");
    for (int round = 1; round <= kRounds; ++round) {
        const double p = pullrecRound(slave->port());
        const double l = libmodbusRound(slave->port());
        if (p < 0 || l < 0) {
            std::fprintf(stderr, "round %d: a read failed\n", round);
            return 1;
        }
        std::printf("%5d  %12.0f  %14.0f\n", round, p, l);
        pullrecSum += p;
        libmodbusSum += l;
    }
    std::printf("mean   %12.0f  %14.0f\n", pullrecSum / kRounds, libmodbusSum / kRounds);
    std::printf("ratio pullrec/libmodbus: %.2f\n", pullrecSum / libmodbusSum);
    return 0;
}
