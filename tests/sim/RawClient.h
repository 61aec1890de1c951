#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A minimal Modbus master of the tests' own, independent of the project's
// stack, that shows the simulator's replies byte for byte.
struct Answer {
    uint8_t unit = 0;
    std::vector<uint8_t> pdu; // function code and data
    bool crcOk = true;        // RTU only
    uint16_t transaction = 0; // TCP only: the MBAP header as received
    uint16_t protocol = 0;
    uint16_t length = 0;
};

class RawClient
{
  public:
    virtual ~RawClient() = default;
    virtual bool send(uint8_t unit, const std::vector<uint8_t> &pdu) = 0;
    // The next reply within timeoutMs, or nothing.
    virtual std::optional<Answer> receive(int timeoutMs) = 0;

    std::optional<Answer> ask(uint8_t unit, const std::vector<uint8_t> &pdu, int timeoutMs = 2000)
    {
        if (!send(unit, pdu))
            return std::nullopt;
        return receive(timeoutMs);
    }
};

class RawTcpClient : public RawClient
{
  public:
    explicit RawTcpClient(int port);
    ~RawTcpClient() override;
    bool connected() const { return fd >= 0; }
    // True once the simulator has closed the connection.
    bool peerClosed() const { return closedByPeer; }
    void setTransaction(uint16_t id, uint16_t protocolId = 0)
    {
        transaction = id;
        protocol = protocolId;
    }
    bool sendRaw(const std::vector<uint8_t> &bytes);
    bool send(uint8_t unit, const std::vector<uint8_t> &pdu) override;
    std::optional<Answer> receive(int timeoutMs) override;

  private:
    bool readExactly(uint8_t *buf, size_t n, int timeoutMs);
    int fd = -1;
    bool closedByPeer = false;
    uint16_t transaction = 0;
    uint16_t protocol = 0;
};

class RawRtuClient : public RawClient
{
  public:
    explicit RawRtuClient(const std::string &path);
    // Takes over an open descriptor, such as the master side of a pty.
    explicit RawRtuClient(int openFd) : fd(openFd) {}
    ~RawRtuClient() override;
    bool isOpen() const { return fd >= 0; }
    bool sendRaw(const std::vector<uint8_t> &bytes);
    bool send(uint8_t unit, const std::vector<uint8_t> &pdu) override;
    // A reply ends when the line has been quiet for 30 ms.
    std::optional<Answer> receive(int timeoutMs) override;

  private:
    int fd = -1;
};

std::unique_ptr<RawClient> connectRaw(bool tcp, int port, const std::string &ptyPath);

// Big-endian 16-bit helpers for building requests and reading replies.
void putWord(std::vector<uint8_t> &out, int value);
int wordAt(const std::vector<uint8_t> &bytes, size_t offset);
