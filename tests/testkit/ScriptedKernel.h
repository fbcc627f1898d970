#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "testkit/DumpBuilder.h"
#include "wifi/NetlinkTransport.h"
#include "wifi/WifiSource.h"

namespace walkmere::wifitest {

// The kernel's side of an nl80211 socket, played from a script. Each request is checked as
// nl80211 would check it (family, flags, the interface's index; else -EINVAL or -ENODEV) and
// answered with the datagrams of the next answer scripted for its command, the last one
// again once they run out. With nothing to read, a wait lasts its time, as on a socket.
class ScriptedKernel {
public:
    using Answer = std::function<std::vector<NetlinkDatagram>(const Bytes& request, uint32_t seq)>;
    static constexpr uint32_t kIfindex = 3;

    void answer(uint8_t command, Answer a);
    // A datagram waiting on the socket before the next request (an older scan's event, say).
    void queue(NetlinkDatagram datagram);
    // A socket to this kernel; what waits on an earlier one is dropped with it.
    std::unique_ptr<INetlinkTransport> transport(int wakeFd = -1);
    // Opens Nl80211Scanners over transport(), for a LiveWifiSource.
    LiveWifiSource::ScannerOpener opener();

    size_t requests() const;
    bool waitForRequests(size_t n, std::chrono::milliseconds limit);

private:
    friend class ScriptedSocket;
    void take(const Bytes& request);

    mutable std::mutex lock;
    std::condition_variable requested;
    std::map<uint8_t, std::deque<Answer>> answers;
    std::deque<NetlinkDatagram> inbox;
    size_t count = 0;
};

// Answers: an acknowledgement (or error) followed by events, each in a datagram of its own;
// a dump of `bss` in datagrams of at most `most` bytes, ending in NLMSG_DONE with `done`.
ScriptedKernel::Answer acknowledge(int32_t code, std::vector<Bytes> events = {});
ScriptedKernel::Answer dumpAnswer(std::vector<BssFields> bss, size_t most = 16384,
                                  int32_t done = 0);

} // namespace walkmere::wifitest
