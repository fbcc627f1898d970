#include "link/SerialLink.h"

#include "platform/Clock.h"
#include "platform/Prompter.h"
#include "platform/Registry.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace walkmere {

namespace {

constexpr int kIdleWaitMs = 5;

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

std::string cutPortName(std::string name) {
    if (name.size() > kMaxPortName) name.resize(kMaxPortName);
    return name;
}

// The Name of the key at path when its PnpId starts with prefix.
std::optional<std::string> matchingName(const IRegistrySource& registry, const std::string& path,
                                        const char* prefix) {
    std::optional<RegistryKey> key = registry.openKey(path);
    if (!key) return std::nullopt;
    std::optional<std::string> pnpId = registry.queryString(*key, "PnpId");
    if (!pnpId || !startsWith(*pnpId, prefix)) return std::nullopt;
    return registry.queryString(*key, "Name");
}

} // namespace

CSerialLink::CSerialLink(IPrompter& prompter, IClock& clock, const IRegistrySource* registry)
    : prompter(prompter), clock(clock), registry(registry) {}

CSerialLink::~CSerialLink() {
    // Joining the worker first means no pass can touch the port while it closes.
    stop();
    port.close();
}

void CSerialLink::setPacketHandler(IPacketHandler* h) {
    handler.store(h, std::memory_order_release);
}

void CSerialLink::setConnectionSink(ConnectionSink sink) {
    std::lock_guard<std::mutex> g(sinkLock);
    connectionSink = std::move(sink);
}

void CSerialLink::tellConnection(bool connected) {
    ConnectionSink sink;
    {
        std::lock_guard<std::mutex> g(sinkLock);
        sink = connectionSink;
    }
    if (sink) sink(connected);
}

std::string CSerialLink::findPortName() const {
    if (!registry) return "COM1:";

    // First search: every driver, in the registry's order, for the Quatech card.
    if (std::optional<RegistryKey> active = registry->openKey("Drivers\\Active")) {
        std::string subkey;
        for (uint32_t index = 0;; ++index) {
            long r = registry->enumKey(*active, index, subkey);
            if (r == kRegistryNoMoreItems) break;
            if (r != kRegistrySuccess) {
                // The handheld went on to the subkey step with whatever the call left;
                // a source that cannot enumerate has nothing more to give.
                break;
            }
            std::optional<std::string> name =
                matchingName(*registry, active->path + "\\" + subkey, "Quatech");
            if (name) return cutPortName(*name);
        }
    }

    // Second search: the Socket card, among the first 51 numbered drivers only.
    for (int i = 0; i <= 50; ++i) {
        char path[32];
        std::snprintf(path, sizeof path, "Drivers\\Active\\%02d", i);
        std::optional<std::string> name = matchingName(*registry, path, "Socket");
        if (name) return cutPortName(*name);
    }
    return "COM1:";
}

void CSerialLink::setPortOverride(std::optional<std::string> path) {
    portOverride = std::move(path);
}

bool CSerialLink::openPort() {
    if (portOverride) return openPort(*portOverride);
    return openPort(findPortName());
}

bool CSerialLink::openPort(const std::string& portName) {
    if (worker.joinable()) return port.isOpen(); // the worker owns the port now
    std::optional<std::string> path = devicePathForPortName(portName);
    devicePath = path.value_or(portName);
    SerialPort::OpenResult r = path ? port.open(*path) : SerialPort::OpenResult::CannotOpen;
    switch (r) {
    case SerialPort::OpenResult::Opened:
        return true;
    case SerialPort::OpenResult::CannotOpen:
        prompter.showMessage("Cannot Open Connection To Board.");
        return false;
    case SerialPort::OpenResult::CannotConfigure:
        prompter.showMessage("Could not SetCommState");
        return false;
    }
    return false;
}

int CSerialLink::queueFrame(const uint8_t* bytes, uint32_t n) {
    // A cut frame would reach the board torn; no frame the program builds comes near this.
    if (n > kSendSlotSize || (n > 0 && !bytes)) return 0;
    std::lock_guard<std::mutex> g(slotLock);
    if (n > 0) std::memcpy(sendSlot, bytes, n);
    sendLength = n;
    sendPending.set();
    return 1;
}

void CSerialLink::start() {
    if (worker.joinable()) return;
    stopFlag.store(false, std::memory_order_release);
    worker = std::thread([this] { linkWorker(); });
}

void CSerialLink::stop() {
    stopFlag.store(true, std::memory_order_release);
    if (worker.joinable()) worker.join();
}

void CSerialLink::linkWorker() {
    std::memset(readBuffer, 0, sizeof readBuffer);
    assembler.reset();
    uint32_t lastSend = 0;
    uint32_t previousNow = 0;
    bool firstPass = true;

    lost = false;

    while (!stopFlag.load(std::memory_order_acquire)) {
        if (lost) tryReopen();
        // One pass reads or writes, never both; reading comes first.
        size_t waiting = port.isOpen() ? port.bytesWaiting() : 0;
        if (waiting > 0) {
            readWaiting(waiting);
        } else if (sendPending.isSet()) {
            writePending();
            lastSend = previousNow;
        } else {
            idleWait();
        }

        // Only writes restart the keep-alive clock; received data does not.
        uint32_t now = clock.seconds();
        if (firstPass) {
            lastSend = now;
            firstPass = false;
        } else if (now > lastSend + kKeepAliveSeconds) {
            lastSend = now;
            if (IPacketHandler* h = handler.load(std::memory_order_acquire)) h->sendKeepAlive();
        }
        previousNow = now;
        passCount.fetch_add(1, std::memory_order_relaxed);
    }
}

void CSerialLink::readWaiting(size_t waiting) {
    size_t want = waiting < sizeof readBuffer ? waiting : sizeof readBuffer;
    long got = port.read(readBuffer, want);
    if (got < 0) { // the device failed under us
        lineLost();
        std::this_thread::sleep_for(std::chrono::milliseconds(kIdleWaitMs));
        return;
    }
    if (got == 0) { // keep the 5 ms pace rather than spin
        std::this_thread::sleep_for(std::chrono::milliseconds(kIdleWaitMs));
        return;
    }
    IPacketHandler* h = handler.load(std::memory_order_acquire);
    for (long i = 0; i < got; ++i) {
        assembler.feed(readBuffer[i]);
        if (assembler.state() == CFrameAssembler::Complete) {
            if (h) h->dispatchPacket(assembler.type(), assembler.payload(), assembler.length());
            assembler.reset();
        }
    }
}

void CSerialLink::writePending() {
    // Take the frame out whole and clear the flag in the same step, so that a frame
    // queued while this one is on its way stays pending for the next pass.
    uint32_t n;
    {
        std::lock_guard<std::mutex> g(slotLock);
        n = sendLength;
        std::memcpy(writeBuffer, sendSlot, n);
        sendPending.reset();
    }
    // Without a port the frame is lost, as it was on the handheld; write errors are not
    // reported either: the board's silence shows on the screen.
    if (port.isOpen()) port.writeAll(writeBuffer, n);
}

void CSerialLink::idleWait() {
    if (port.isOpen()) {
        if (port.pollReadable(kIdleWaitMs) != SerialPort::PollResult::HungUp) return;
        lineLost();
    }
    // No port, or a hung-up line that poll() reports at once: wait out the 5 ms.
    std::this_thread::sleep_for(std::chrono::milliseconds(kIdleWaitMs));
}

void CSerialLink::lineLost() {
    port.close();
    // A frame half assembled from the old line would swallow the new line's first frame.
    assembler.reset();
    lost = true;
    nextReopen = std::chrono::steady_clock::now() + kReopenInterval;
    tellConnection(false);
}

void CSerialLink::tryReopen() {
    const auto now = std::chrono::steady_clock::now();
    if (now < nextReopen) return;
    nextReopen = now + kReopenInterval;
    if (port.open(devicePath) != SerialPort::OpenResult::Opened) return;
    lost = false;
    tellConnection(true);
}

} // namespace walkmere
