#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "board/Scenario.h"
#include "platform/Clock.h"
#include "scan/ApRecord.h"
#include "wifi/WifiSource.h"

namespace walkmere {

// The board's list from the laptop's own adapter: a thread of its own asks the source for a
// dump every interval and keeps the latest; the list at a moment is that dump's 16 strongest
// BSSs, aged by the seconds since it was read.
//
// A source error after the first dump does not stop the feed: it is reported through the
// error sink (once, until the source fails differently or succeeds again), the last good dump
// stays the board's list with its ages growing, and the next interval tries again. What to do
// about the error is the owner's call (walkmere-board ends, the program says so and goes on).
class WifiFeed {
public:
    using Sink = std::function<void(const std::string&)>;

    WifiFeed(std::unique_ptr<IWifiSource> source, uint32_t intervalMs,
             IClock& clock = systemClock());
    ~WifiFeed();
    WifiFeed(const WifiFeed&) = delete;
    WifiFeed& operator=(const WifiFeed&) = delete;

    // Both are called from the feed's thread (the notice sink also from start()'s); set them
    // before start().
    void setErrorSink(Sink sink) { errorSink = std::move(sink); }
    void setNoticeSink(Sink sink);

    // Reads the first dump at once, in the caller's thread, then starts the thread that reads
    // one every interval. False, with the source's one line in `error`, when the first dump
    // cannot be had: the feed then has nothing to serve and does not start.
    bool start(std::string& error);
    // Stops the thread and joins it; prompt also in the middle of an interval or of a read
    // waiting for the kernel (IWifiSource::interrupt).
    void stop();
    // Has the next dump read at once instead of at the end of the interval, which then starts
    // again, and returns once that read has ended (or the feed stops): for a source whose
    // dump changed meanwhile (the simulated surveyor moved), so that the board serves the new
    // one from the return on. A read that began before the call does not count. Nothing to
    // wait for before start().
    void readNow();

    // The board's entries now: at most 16, strongest first, none empty.
    std::vector<ApRecord> entries() const;
    const std::string& firmware() const { return firmwareText; }
    const std::string& serial() const { return serialText; }
    uint64_t dumpsRead() const;

private:
    void run();
    void keep(ScanDump dump);
    bool stopping() const;

    std::unique_ptr<IWifiSource> source; // the feed thread's alone once started
    const uint32_t intervalMs;
    IClock& clock;
    const std::string firmwareText;
    const std::string serialText;
    Sink errorSink;

    mutable std::mutex lock;
    std::condition_variable wake;
    bool stopRequested = false;
    uint64_t readsAsked = 0;    // by readNow, counted
    uint64_t readsAnswered = 0; // the count of the last read begun after them
    std::optional<ScanDump> latest;
    uint64_t reads = 0;
    std::thread worker;
};

// The source the settings name: the live adapter (`interface`) or a capture (`replayPath`).
// Nothing, with one line in `error`, when the capture cannot be read; a live source always
// opens here and says what is wrong with the adapter at its first dump. A simulated site
// (`modelPath`) is not opened here: its model is laid over its site file's plan first, by
// the programs that read site files.
std::unique_ptr<IWifiSource> openWifiSource(const WifiSettings& settings, std::string& error,
                                            IClock& clock = systemClock());

} // namespace walkmere
