#include "wifi/LibnlTransport.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>

#include <netlink/errno.h>
#include <netlink/genl/ctrl.h>
#include <netlink/genl/genl.h>
#include <netlink/socket.h>

namespace walkmere {

namespace {

constexpr size_t kReceiveBuffer = 32 * 1024; // the kernel sizes dump datagrams to it

} // namespace

std::unique_ptr<LibnlTransport> LibnlTransport::open(int wakeFd, int timeoutMs,
                                                     std::string& error) {
    std::unique_ptr<LibnlTransport> transport(new LibnlTransport);
    transport->wakeFd = wakeFd;
    transport->socket = nl_socket_alloc();
    if (transport->socket == nullptr) {
        error = "cannot open a netlink socket: out of memory";
        return nullptr;
    }
    if (int err = genl_connect(transport->socket); err < 0) {
        error = std::string("cannot open a generic-netlink socket: ") + nl_geterror(err);
        return nullptr;
    }
    // The look-ups wait on the blocking socket: the receive timeout bounds them. Our own
    // waits poll first, so that a read never blocks for long either.
    const int fd = nl_socket_get_fd(transport->socket);
    const int ms = std::max(timeoutMs, 1);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
        error = std::string("cannot set the netlink socket's timeout: ") + std::strerror(errno);
        return nullptr;
    }
    nl_socket_enable_msg_peek(transport->socket);
    nl_socket_set_msg_buf_size(transport->socket, kReceiveBuffer);
    return transport;
}

LibnlTransport::~LibnlTransport() {
    if (socket != nullptr) nl_socket_free(socket);
}

int LibnlTransport::resolveFamily(const char* family) {
    return genl_ctrl_resolve(socket, family);
}

int LibnlTransport::joinGroup(const char* family, const char* group) {
    const int id = genl_ctrl_resolve_grp(socket, family, group);
    if (id < 0) return id;
    return nl_socket_add_membership(socket, id);
}

uint32_t LibnlTransport::port() const {
    return nl_socket_get_local_port(socket);
}

bool LibnlTransport::send(std::span<const uint8_t> request, std::string& error) {
    // nl_sendto takes no const; it only reads.
    const int err = nl_sendto(socket, const_cast<uint8_t*>(request.data()), request.size());
    if (err < 0) {
        error = std::string("netlink socket error: ") + nl_geterror(err);
        return false;
    }
    return true;
}

NetlinkWait LibnlTransport::receive(int timeoutMs, NetlinkDatagram& datagram, std::string& error) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const int fd = nl_socket_get_fd(socket);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(p, wakeFd >= 0 ? 2 : 1, std::max<int>(left.count(), 0));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            error = std::string("netlink socket error: ") + std::strerror(errno);
            return NetlinkWait::Failed;
        }
        if (wakeFd >= 0 && p[1].revents != 0) return NetlinkWait::Interrupted;
        if (ready == 0) return NetlinkWait::TimedOut;
        if (p[0].revents & POLLERR) {
            // The socket's pending error, taken off it: ENOBUFS when it ran over.
            int code = 0;
            socklen_t size = sizeof code;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &size) == 0 && code == ENOBUFS)
                return NetlinkWait::Overrun;
            error = std::string("netlink socket error: ") + std::strerror(code ? code : EIO);
            return NetlinkWait::Failed;
        }
        sockaddr_nl peer{};
        unsigned char* buffer = nullptr;
        const int n = nl_recv(socket, &peer, &buffer, nullptr);
        if (n == -NLE_AGAIN) {
            std::free(buffer);
            continue;
        }
        if (n <= 0) {
            std::free(buffer);
            error = n == 0 ? std::string("the netlink socket was closed")
                           : std::string("netlink socket error: ") + nl_geterror(n);
            return NetlinkWait::Failed;
        }
        datagram.bytes.assign(buffer, buffer + n);
        datagram.sender = peer.nl_pid;
        std::free(buffer);
        return NetlinkWait::Datagram;
    }
}

} // namespace walkmere
