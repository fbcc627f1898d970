#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace walkmere {

// One datagram as the socket received it: any number of netlink messages, from `sender`'s
// port (0: the kernel).
struct NetlinkDatagram {
    std::vector<uint8_t> bytes;
    uint32_t sender = 0;
};

enum class NetlinkWait {
    Datagram,    // one came
    TimedOut,    // none within the time given
    Overrun,     // the socket's buffer ran over: messages for it (events) were lost
    Interrupted, // the wait was cut short from another thread; every later one is too
    Failed,      // `error` says why
};

// The generic-netlink socket the scanner talks to the kernel over: a request out, a datagram
// in. LibnlTransport is the real one; tests play the kernel's side.
class INetlinkTransport {
public:
    virtual ~INetlinkTransport() = default;
    // Sends one request message, header and all, to the kernel. False with one line.
    virtual bool send(std::span<const uint8_t> request, std::string& error) = 0;
    // The next datagram for the socket: an answer, or an event of a multicast group it has
    // joined. Waits at most `timeoutMs` (0: only what is there).
    virtual NetlinkWait receive(int timeoutMs, NetlinkDatagram& datagram, std::string& error) = 0;
};

} // namespace walkmere
