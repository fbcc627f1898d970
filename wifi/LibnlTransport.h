#pragma once

#include <memory>
#include <string>

#include "wifi/NetlinkTransport.h"

struct nl_sock;

namespace walkmere {

// A generic-netlink socket through libnl. Every datagram is received whole, whatever its
// size: the socket peeks at its length first (nl_socket_enable_msg_peek), where nl_recv would
// otherwise fail on one larger than its buffer of 4 pages.
class LibnlTransport final : public INetlinkTransport {
public:
    // Connects the socket. `wakeFd` (or -1) ends every wait once it is readable. The family and
    // group look-ups below wait at most `timeoutMs` each.
    static std::unique_ptr<LibnlTransport> open(int wakeFd, int timeoutMs, std::string& error);
    ~LibnlTransport();
    LibnlTransport(const LibnlTransport&) = delete;
    LibnlTransport& operator=(const LibnlTransport&) = delete;

    // The id of a generic-netlink family, or a negative libnl error (-NLE_OBJ_NOTFOUND when
    // the kernel has no such family).
    int resolveFamily(const char* family);
    // Joins a multicast group of a family: 0 or a negative libnl error.
    int joinGroup(const char* family, const char* group);
    uint32_t port() const;

    bool send(std::span<const uint8_t> request, std::string& error) override;
    NetlinkWait receive(int timeoutMs, NetlinkDatagram& datagram, std::string& error) override;

private:
    LibnlTransport() = default;

    nl_sock* socket = nullptr;
    int wakeFd = -1;
};

} // namespace walkmere
