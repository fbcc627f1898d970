#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace walkmere {

// The board's serial port: a termios device opened for our sole use and set to
// 38400 baud, 8 data bits, no parity, one stop bit, no flow control of any kind
// (so the frame bytes 0x11 and 0x13 pass through untouched), DTR cleared, RTS set.
class SerialPort {
public:
    enum class OpenResult {
        Opened,
        CannotOpen,      // missing device, no permission, or someone else holds it
        CannotConfigure, // not a terminal, or the line settings were refused
    };
    enum class PollResult {
        Readable, // bytes are waiting
        TimedOut, // nothing arrived in time
        HungUp,   // the other end went away or the device failed; no byte will come
    };

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens and configures the device at path; on any failure the port stays closed.
    OpenResult open(const std::string& path);
    void close();
    bool isOpen() const { return fd >= 0; }

    // Bytes in the input queue, 0 when there are none or the question fails.
    size_t bytesWaiting() const;
    // Reads up to n bytes without waiting; the count read, 0 when nothing came, -1 on error.
    long read(uint8_t* buffer, size_t n);
    // Writes all n bytes, waiting for room if the line is slow; false if the device
    // failed or took nothing for a whole second.
    bool writeAll(const uint8_t* bytes, size_t n);
    // Waits up to timeoutMs for input.
    PollResult pollReadable(int timeoutMs) const;
    // Throws away whatever waits in both directions.
    void flush();

private:
    bool configure();

    // Read by isOpen() on other threads while the link worker reopens a lost line.
    std::atomic<int> fd{-1};
};

// The device path for a port name: a name holding a "/" is a path and used as it is
// ("/dev/ttyUSB0", "./board"), "COMn:" is /dev/ttyS(n-1). Nothing for any other name.
std::optional<std::string> devicePathForPortName(const std::string& name);

} // namespace walkmere
