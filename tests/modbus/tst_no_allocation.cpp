#include "LibmodbusSlave.h"
#include "PtyPair.h"

#include "modbus/MbusRtuMasterProtocol.h"
#include "modbus/MbusTcpMasterProtocol.h"
#include "modbus/TrafficRecorder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <new>

// Counts the allocations of the thread that sets `counting`, so that the
// slave threads and the test framework do not disturb the count.
namespace
{
thread_local bool counting = false;
thread_local long allocations = 0;

void *allocate(std::size_t size)
{
    if (counting)
        ++allocations;
    void *p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}
} // namespace

void *operator new(std::size_t size)
{
    return allocate(size);
}
void *operator new[](std::size_t size)
{
    return allocate(size);
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    return std::malloc(size ? size : 1);
}
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    return std::malloc(size ? size : 1);
}
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete[](void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void *p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}

namespace
{

// Reads, writes and a custom request; results land in a fixed array so that
// nothing allocates while the count runs.
long allocationsDuringExchanges(MbusMasterFunctions &master, int (&results)[60])
{
    int16_t words[100] = {1, 2, 3};
    const uint8_t request[4] = {0, 0, 0, 2};
    uint8_t reply[5];
    allocations = 0;
    counting = true;
    for (int i = 0; i < 20; ++i) {
        results[3 * i] = master.readHoldingRegisters(1, 1 + i, words, 10 + i);
        results[3 * i + 1] = master.writeMultipleRegisters(1, 1 + i, words, 20);
        results[3 * i + 2] = master.customRequest(1, 3, request, 4, reply, 5);
    }
    counting = false;
    return allocations;
}

TEST(NoAllocation, CounterSeesAllocations)
{
    counting = true;
    auto *p = new int(1);
    counting = false;
    delete p;
    EXPECT_EQ(allocations, 1);
}

// The exchanges without an observer, then again with a traffic recorder watching, which must
// see every one of them.
void expectNoAllocation(MbusMasterFunctions &master)
{
    int results[60];
    EXPECT_EQ(allocationsDuringExchanges(master, results), 0);
    for (int r : results)
        ASSERT_EQ(r, Success);

    TrafficRecorder recorder;
    master.setTrafficObserver(&recorder);
    EXPECT_EQ(allocationsDuringExchanges(master, results), 0);
    for (int r : results)
        ASSERT_EQ(r, Success);
    counting = true;
    const TrafficCounters seen = recorder.counters();
    counting = false;
    EXPECT_EQ(seen.requests, 60u);
    EXPECT_EQ(seen.replies, 60u);
    master.setTrafficObserver(nullptr);
}

TEST(NoAllocation, TcpExchanges)
{
    auto slave = LibmodbusSlave::tcp();
    ASSERT_TRUE(slave->ok());
    MbusTcpMasterProtocol master;
    master.setPort(slave->port());
    ASSERT_EQ(master.open("127.0.0.1"), Success);
    expectNoAllocation(master);
}

TEST(NoAllocation, RtuExchanges)
{
    PtyPair line;
    ASSERT_TRUE(line.ok());
    auto slave = LibmodbusSlave::rtu(line.fd());
    ASSERT_TRUE(slave->ok());
    MbusRtuMasterProtocol master;
    ASSERT_EQ(master.open(line.path(), 38400, 8, 1, 0), Success);
    expectNoAllocation(master);
}

} // namespace
