#include "LibmodbusSlave.h"
#include "PtyPair.h"

#include "modbus/MbusRtuMasterProtocol.h"
#include "modbus/MbusTcpMasterProtocol.h"

#include <gtest/gtest.h>

namespace
{

// Writes 1..100 registers and reads 1..125 back through the master under
// test, and checks what the slave's register table holds.
void roundTrip(MbusMasterFunctions &master, LibmodbusSlave &slave)
{
    int16_t words[125];
    for (int count = 1; count <= 100; ++count) {
        for (int i = 0; i < count; ++i)
            words[i] = static_cast<int16_t>(count * 300 - i * 7);
        const int start = 1 + count % 50;
        ASSERT_EQ(master.writeMultipleRegisters(1, start, words, count), Success) << count;
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(static_cast<int16_t>(slave.registers()[start - 1 + i]), words[i]) << count << " " << i;
    }
    for (int i = 0; i < LibmodbusSlave::Registers; ++i)
        slave.registers()[i] = static_cast<uint16_t>(0x8000 + i * 3);
    for (int count = 1; count <= 125; ++count) {
        const int start = 1 + count % 70;
        ASSERT_EQ(master.readHoldingRegisters(1, start, words, count), Success) << count;
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(static_cast<uint16_t>(words[i]), slave.registers()[start - 1 + i]) << count << " " << i;
    }
    // Addresses the slave does not have.
    EXPECT_EQ(master.readHoldingRegisters(1, LibmodbusSlave::Registers, words, 2),
              IllegalDataAddressException);
    EXPECT_EQ(master.writeMultipleRegisters(1, LibmodbusSlave::Registers + 1, words, 1),
              IllegalDataAddressException);
}

TEST(LibmodbusInterop, TcpSlave)
{
    auto slave = LibmodbusSlave::tcp();
    ASSERT_TRUE(slave->ok());
    MbusTcpMasterProtocol master;
    ASSERT_EQ(master.setTimeout(1000), Success);
    master.setPort(slave->port());
    ASSERT_EQ(master.open("127.0.0.1"), Success);
    roundTrip(master, *slave);
}

TEST(LibmodbusInterop, RtuSlave)
{
    PtyPair line;
    ASSERT_TRUE(line.ok());
    auto slave = LibmodbusSlave::rtu(line.fd());
    ASSERT_TRUE(slave->ok());
    MbusRtuMasterProtocol master;
    ASSERT_EQ(master.setTimeout(1000), Success);
    ASSERT_EQ(master.open(line.path(), 38400, 8, 1, 0), Success);
    roundTrip(master, *slave);
}

} // namespace
