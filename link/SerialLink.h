#pragma once

#include "link/FrameAssembler.h"
#include "link/PacketHandler.h"
#include "platform/ManualResetEvent.h"
#include "platform/SerialPort.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace walkmere {

class IClock;
class IPrompter;
class IRegistrySource;

inline constexpr size_t kReadBufferSize = 4096; // the size of the port's input queue
inline constexpr uint32_t kKeepAliveSeconds = 10;
inline constexpr size_t kMaxPortName = 127;
// How often a line that hung up is tried again.
inline constexpr std::chrono::milliseconds kReopenInterval{1000};

// The serial connection to the scanner board: finds the board's port in the registry,
// opens it, and runs the link worker, which feeds every received byte to the frame
// assembler, hands each complete frame to the packet handler, writes the one frame
// waiting in the send slot, and asks for a keep-alive after ten seconds without a write.
//
// A line that hangs up (a USB adapter pulled, the board's program gone) is closed and
// tried again every second under the same name; the connection sink hears of the loss
// once and of the line's return once.
class CSerialLink final : public IFrameQueue {
public:
    // Called on the worker thread: false when the open line hung up, true when it was
    // opened again. Must not block.
    using ConnectionSink = std::function<void(bool connected)>;

    // registry may be null: the search then finds nothing and the port is "COM1:".
    CSerialLink(IPrompter& prompter, IClock& clock, const IRegistrySource* registry);
    // Stops and joins the worker, then closes the port.
    ~CSerialLink() override;
    CSerialLink(const CSerialLink&) = delete;
    CSerialLink& operator=(const CSerialLink&) = delete;

    // Receives complete frames and keep-alive requests on the worker thread.
    // Set before start().
    void setPacketHandler(IPacketHandler* handler);
    void setConnectionSink(ConnectionSink sink);

    // The board's port as the registry names it: the first driver whose PnpId starts with
    // "Quatech", else the first of Drivers\Active\00 to \50 whose PnpId starts with
    // "Socket", else "COM1:".
    std::string findPortName() const;

    // A port given by the user (--port PATH): openPort() then opens it without a search.
    void setPortOverride(std::optional<std::string> path);
    // Finds (unless overridden), opens and configures the port. A failure is shown in a
    // message box and leaves the link without a port; false then. Call before start().
    bool openPort();
    // Opens the given port ("/dev/ttyUSB0" or "COM3:") without a search.
    bool openPort(const std::string& portName);
    bool isPortOpen() const { return port.isOpen(); }
    // The device path tried by the last openPort().
    const std::string& portPath() const { return devicePath; }

    // Puts a frame in the send slot, replacing one not yet written, and marks it pending.
    // Returns 1; 0 for a frame longer than the slot, which is refused rather than cut.
    int queueFrame(const uint8_t* bytes, uint32_t n) override;
    bool framePending() const { return sendPending.isSet(); }

    void start();
    void stop();
    // Passes the worker has run so far (for diagnostics and tests).
    uint64_t passes() const { return passCount.load(std::memory_order_relaxed); }

private:
    void linkWorker();
    void readWaiting(size_t waiting);
    void writePending();
    void idleWait();
    // The open line hung up: close it and say so once.
    void lineLost();
    // Tries the lost line again when its time has come.
    void tryReopen();
    void tellConnection(bool connected);

    IPrompter& prompter;
    IClock& clock;
    const IRegistrySource* registry;
    std::atomic<IPacketHandler*> handler{nullptr};

    std::optional<std::string> portOverride;
    std::string devicePath;
    SerialPort port; // opened before the worker starts, closed after it has ended

    // The one-frame send slot. The lock makes the copy in and the copy out whole.
    std::mutex slotLock;
    uint8_t sendSlot[kSendSlotSize] = {};
    uint32_t sendLength = 0;
    ManualResetEvent sendPending;

    // Worker-only state.
    uint8_t readBuffer[kReadBufferSize] = {};
    uint8_t writeBuffer[kSendSlotSize] = {};
    CFrameAssembler assembler;
    bool lost = false; // the line hung up and is not open again yet
    std::chrono::steady_clock::time_point nextReopen;

    std::mutex sinkLock;
    ConnectionSink connectionSink;

    std::atomic<bool> stopFlag{false};
    std::atomic<uint64_t> passCount{0};
    std::thread worker;
};

} // namespace walkmere
