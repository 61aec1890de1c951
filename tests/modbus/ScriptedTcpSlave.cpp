#include "ScriptedTcpSlave.h"

#include <algorithm>
#include <poll.h>
#include <unistd.h>

ScriptedTcpSlave::ScriptedTcpSlave(Script s) : script(std::move(s))
{
    thread = std::thread(&ScriptedTcpSlave::run, this);
}

ScriptedTcpSlave::~ScriptedTcpSlave()
{
    stop = true;
    thread.join();
}

std::vector<std::vector<uint8_t>> ScriptedTcpSlave::requests()
{
    std::lock_guard lock(mutex);
    return received;
}

std::vector<ScriptedTcpSlave::Clock::time_point> ScriptedTcpSlave::requestTimes()
{
    std::lock_guard lock(mutex);
    return times;
}

void ScriptedTcpSlave::run()
{
    while (!stop) {
        const int conn = listener.accept(20);
        if (conn < 0)
            continue;
        ++accepted;
        serve(conn);
        ::close(conn);
    }
}

void ScriptedTcpSlave::serve(int conn)
{
    while (!stop) {
        pollfd p{conn, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        std::vector<uint8_t> request = readBytes(conn, 6, 1000);
        if (request.size() < 6)
            return; // closed by the master
        const std::vector<uint8_t> rest = readBytes(conn, (request[4] << 8) | request[5], 1000);
        request.insert(request.end(), rest.begin(), rest.end());
        int index;
        {
            std::lock_guard lock(mutex);
            index = static_cast<int>(received.size());
            received.push_back(request);
            times.push_back(Clock::now());
        }
        const Reply reply = script(index, request);
        if (reply.stopListening)
            listener.close();
        if (!reply.bytes.empty())
            writeBytes(conn, reply.bytes);
        if (reply.closeConnection)
            return;
    }
}

std::vector<uint8_t> mbapReply(uint8_t unit, const std::vector<uint8_t> &pdu)
{
    const size_t length = pdu.size() + 1;
    // Sized once: GCC 12 at -O3 reports a false -Warray-bounds for an insert behind a 7-byte list.
    std::vector<uint8_t> adu(6 + length);
    adu[4] = static_cast<uint8_t>(length >> 8);
    adu[5] = static_cast<uint8_t>(length);
    adu[6] = unit;
    std::copy(pdu.begin(), pdu.end(), adu.begin() + 7);
    return adu;
}
