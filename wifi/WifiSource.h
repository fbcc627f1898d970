#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/BoardWire.h"
#include "platform/Clock.h"
#include "platform/OwnedFd.h"
#include "wifi/Nl80211Scanner.h"
#include "wifi/ScanCapture.h"
#include "wifi/ScanDump.h"

namespace walkmere {

// Where the stand-in board's access points come from when they are real: one scan dump
// per call. firmware() and serial() say what the source is, in the board's strings (the
// program keeps 31 characters of the firmware and 6 of the serial number).
class IWifiSource {
public:
    virtual ~IWifiSource() = default;
    // The next dump, stamped with the clock's seconds when it was read; nothing, with one
    // line in `error`, when none could be had this time (the next call tries again).
    virtual std::optional<ScanDump> next(std::string& error) = 0;
    virtual std::string firmware() const = 0;
    virtual std::string serial() const = 0;
    // Cuts short a wait of next() for the kernel, and every later one: called from another
    // thread when the source is being stopped.
    virtual void interrupt() {}
    // Notices that are not errors (the scans cannot be triggered or did not end, the capture
    // cannot be written), each said once until it goes away.
    void setNoticeSink(std::function<void(const std::string&)> sink) { notice = std::move(sink); }

protected:
    void say(const std::string& text) const {
        if (notice) notice(text);
    }

private:
    std::function<void(const std::string&)> notice;
};

// What the live source calls itself, from /sys/class/net (`sysNet`) for `interface`: the
// driver's name (the device's driver link), else "nl80211"; and the last 6 hex digits of
// the adapter's MAC address in capitals, else "000000".
std::string liveFirmware(const std::string& sysNet, const std::string& interface);
std::string liveSerial(const std::string& sysNet, const std::string& interface);

struct LiveWifiOptions {
    std::string interface;   // "wlan0"
    bool trigger = true;     // ask for a scan before every dump (needs CAP_NET_ADMIN)
    std::string capturePath; // append every dump here when not empty
    int timeoutMs = 3000;    // the longest wait for an answer of the kernel
    std::string sysNet = "/sys/class/net";
    int scanWaitMs = 10000; // the longest wait for a triggered scan to end
};

// The interface's scan results over nl80211. A failed scanner is dropped and opened again
// on the next call, so that an adapter that comes back is used again. A scan that cannot be
// triggered, is aborted or does not end in time is said as a notice, once, and the results
// are read as they are; a dump that fails is the one line of that call.
class LiveWifiSource final : public IWifiSource {
public:
    // Opens the scanner it is given instead of an Nl80211Scanner for the interface.
    using ScannerOpener =
        std::function<std::unique_ptr<IScanner>(const ScannerSetup& setup, std::string& error)>;

    explicit LiveWifiSource(LiveWifiOptions options, IClock& clock = systemClock(),
                            ScannerOpener opener = nullptr);
    std::optional<ScanDump> next(std::string& error) override;
    void interrupt() override;
    std::string firmware() const override { return firmwareText; }
    std::string serial() const override { return serialText; }

private:
    bool openCapture(std::string& error);
    bool openScanner(std::string& error);
    // Triggers a scan and waits for it; the notice to say once the dump is had, or false with
    // `error` when the interface cannot be read at all.
    bool trigger(std::string& notice, std::string& error);

    LiveWifiOptions options;
    IClock& clock;
    ScannerOpener opener;
    OwnedFd wake; // an eventfd: readable once interrupt() is called
    std::unique_ptr<IScanner> scanner;
    bool scannerOpened = false; // the interface was there once
    OwnedFd capture;
    bool triggerRefused = false;
    std::string triggerNotice; // the last one said, until a scan ends well again
    bool captureFailing = false;
    std::string firmwareText;
    std::string serialText;
};

// A capture's dumps one per call, in order, round and round; a dump counts as read when it
// is played. The capture is read one dump at a time as it plays (ScanCaptureReader).
class ReplayWifiSource final : public IWifiSource {
public:
    // Nothing, with the reason in `error`, when the file cannot be read or is damaged.
    static std::unique_ptr<ReplayWifiSource> open(const std::string& path, std::string& error,
                                                  IClock& clock = systemClock());
    // Nothing, with one line, when the file has changed since it was opened.
    std::optional<ScanDump> next(std::string& error) override;
    std::string firmware() const override { return "nl80211 replay"; }
    // The first 6 characters of the file's name, up to its extension.
    std::string serial() const override { return serialText; }
    size_t dumpCount() const { return capture->dumpCount(); }

private:
    ReplayWifiSource(std::unique_ptr<ScanCaptureReader> capture, std::string serial, IClock& clock)
        : capture(std::move(capture)), serialText(std::move(serial)), clock(clock) {}

    std::unique_ptr<ScanCaptureReader> capture;
    std::string serialText;
    IClock& clock;
};

// A board string from any text: printable ASCII only (anything else is '_'), at most
// `chars` characters, `fallback` when nothing is left.
std::string boardString(const std::string& text, size_t chars, const std::string& fallback);

} // namespace walkmere
