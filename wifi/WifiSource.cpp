#include "wifi/WifiSource.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/eventfd.h>
#include <sys/stat.h>

namespace walkmere {

namespace fs = std::filesystem;

std::string boardString(const std::string& text, size_t chars, const std::string& fallback) {
    std::string out;
    for (char c : text) {
        if (out.size() == chars) break;
        const auto u = static_cast<unsigned char>(c);
        out += u >= 0x20 && u < 0x7F ? c : '_';
    }
    return out.empty() ? fallback : out;
}

std::string liveFirmware(const std::string& sysNet, const std::string& interface) {
    std::error_code ec;
    const fs::path driver =
        fs::read_symlink(fs::path(sysNet) / interface / "device" / "driver", ec);
    if (ec) return "nl80211";
    return boardString(driver.filename().string(), kFirmwareChars, "nl80211");
}

std::string liveSerial(const std::string& sysNet, const std::string& interface) {
    std::ifstream in(fs::path(sysNet) / interface / "address");
    std::string address;
    in >> address;
    std::string hex;
    for (char c : address) {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (hex.size() < kSerialChars) return "000000";
    return hex.substr(hex.size() - kSerialChars);
}

LiveWifiSource::LiveWifiSource(LiveWifiOptions options, IClock& clock, ScannerOpener opener)
    : options(std::move(options)), clock(clock), opener(std::move(opener)),
      wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    firmwareText = liveFirmware(this->options.sysNet, this->options.interface);
    serialText = liveSerial(this->options.sysNet, this->options.interface);
}

void LiveWifiSource::interrupt() {
    // The counter stays above 0: every wait from now on ends at once.
    const uint64_t one = 1;
    const ssize_t written = ::write(wake.get(), &one, sizeof one);
    (void)written; // nothing to do when there is no eventfd: the waits end by their time
}

bool LiveWifiSource::openScanner(std::string& error) {
    ScannerSetup setup;
    setup.interface = options.interface;
    setup.sysNet = options.sysNet;
    setup.timeoutMs = options.timeoutMs;
    setup.scanWaitMs = options.scanWaitMs;
    setup.wakeFd = wake.get();
    scanner = opener ? opener(setup, error) : Nl80211Scanner::open(setup, error);
    if (!scanner) {
        // Once the interface has been read, its absence is said as a failed dump says it.
        std::error_code ec;
        if (scannerOpened && !fs::exists(fs::path(options.sysNet) / options.interface, ec))
            error = options.interface + " has gone";
        return false;
    }
    scannerOpened = true;
    return true;
}

bool LiveWifiSource::openCapture(std::string& error) {
    if (capture.valid() || options.capturePath.empty()) return true;
    // O_NONBLOCK: a FIFO with no reader at that name does not hold the open for ever.
    OwnedFd fd(::open(options.capturePath.c_str(),
                      O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644));
    if (!fd.valid()) {
        error = "cannot open the scan capture " + options.capturePath + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "cannot write the scan capture " + options.capturePath + ": not a regular file";
        return false;
    }
    capture = std::move(fd);
    return true;
}

bool LiveWifiSource::trigger(std::string& notice, std::string& error) {
    std::string why;
    switch (scanner->triggerScan(why)) {
    case ScanTrigger::Finished:
        break;
    case ScanTrigger::NoPermission:
        triggerRefused = true;
        say("no permission to trigger scans (needs CAP_NET_ADMIN); going on with the "
            "scans the system makes by itself");
        break;
    case ScanTrigger::Unusable:
        error = why;
        return false;
    case ScanTrigger::Aborted:
    case ScanTrigger::TimedOut:
    case ScanTrigger::Failed:
        notice = why + "; reading the scan results as they are";
        break;
    }
    return true;
}

std::optional<ScanDump> LiveWifiSource::next(std::string& error) {
    if (!scanner && !openScanner(error)) return std::nullopt;
    // The trigger's notice waits for the dump: when that fails too, its error is the one line.
    std::string notice;
    if (options.trigger && !triggerRefused && !trigger(notice, error)) {
        scanner.reset();
        return std::nullopt;
    }
    ScanDump dump;
    if (!scanner->dumpScan(dump.raw, error)) {
        scanner.reset();
        return std::nullopt;
    }
    dump.readAt = clock.seconds();
    if (!parseScanDump(dump.raw, dump.bss, error)) return std::nullopt;
    if (!notice.empty() && notice != triggerNotice) say(notice);
    triggerNotice = notice;
    if (!options.capturePath.empty()) {
        std::string why;
        if (openCapture(why) && appendToCapture(capture.get(), dump.raw, why)) {
            captureFailing = false;
        } else if (!captureFailing) {
            captureFailing = true;
            say(why.find(options.capturePath) == std::string::npos
                    ? options.capturePath + ": " + why
                    : why);
        }
    }
    return dump;
}

std::unique_ptr<ReplayWifiSource> ReplayWifiSource::open(const std::string& path,
                                                         std::string& error, IClock& clock) {
    std::unique_ptr<ScanCaptureReader> capture = ScanCaptureReader::open(path, error);
    if (!capture) return nullptr;
    const std::string stem = fs::path(path).stem().string();
    return std::unique_ptr<ReplayWifiSource>(
        new ReplayWifiSource(std::move(capture), boardString(stem, kSerialChars, "replay"), clock));
}

std::optional<ScanDump> ReplayWifiSource::next(std::string& error) {
    ScanDump dump;
    if (!capture->next(dump, error)) return std::nullopt;
    dump.readAt = clock.seconds();
    return dump;
}

} // namespace walkmere
