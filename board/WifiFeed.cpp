#include "board/WifiFeed.h"

#include <chrono>

#include "board/WifiEntries.h"

namespace walkmere {

WifiFeed::WifiFeed(std::unique_ptr<IWifiSource> source, uint32_t intervalMs, IClock& clock)
    : source(std::move(source)), intervalMs(intervalMs), clock(clock),
      firmwareText(this->source->firmware()), serialText(this->source->serial()) {}

WifiFeed::~WifiFeed() {
    stop();
}

void WifiFeed::setNoticeSink(Sink sink) {
    source->setNoticeSink(std::move(sink));
}

void WifiFeed::keep(ScanDump dump) {
    std::lock_guard<std::mutex> guard(lock);
    latest = std::move(dump);
    ++reads;
}

bool WifiFeed::start(std::string& error) {
    if (worker.joinable()) return true;
    std::optional<ScanDump> first = source->next(error);
    if (!first) return false;
    keep(std::move(*first));
    worker = std::thread([this] { run(); });
    return true;
}

void WifiFeed::stop() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopRequested = true;
    }
    wake.notify_all();
    source->interrupt(); // a read waiting for the kernel (a scan to end, say) ends now
    if (worker.joinable()) worker.join();
}

void WifiFeed::readNow() {
    std::unique_lock<std::mutex> guard(lock);
    if (!worker.joinable() || stopRequested) return;
    const uint64_t asked = ++readsAsked;
    wake.notify_all();
    wake.wait(guard, [&] { return readsAnswered >= asked || stopRequested; });
}

void WifiFeed::run() {
    std::string reported; // the error said last, until a dump comes again
    for (;;) {
        uint64_t answering = 0; // the readNow calls this read answers
        {
            std::unique_lock<std::mutex> guard(lock);
            wake.wait_for(guard, std::chrono::milliseconds(intervalMs),
                          [this] { return stopRequested || readsAsked > readsAnswered; });
            if (stopRequested) return;
            answering = readsAsked;
        }
        std::string error;
        std::optional<ScanDump> dump = source->next(error);
        if (!dump && stopping()) return; // cut short by stop(): nothing to say
        if (dump) {
            keep(std::move(*dump));
            reported.clear();
        } else if (error != reported) {
            reported = error;
            if (errorSink) errorSink(error);
        }
        {
            std::lock_guard<std::mutex> guard(lock);
            readsAnswered = answering;
        }
        wake.notify_all();
    }
}

bool WifiFeed::stopping() const {
    std::lock_guard<std::mutex> guard(lock);
    return stopRequested;
}

std::vector<ApRecord> WifiFeed::entries() const {
    std::vector<ApRecord> out;
    const uint32_t now = clock.seconds();
    std::lock_guard<std::mutex> guard(lock);
    if (!latest) return out;
    const uint32_t since = now > latest->readAt ? now - latest->readAt : 0;
    for (const ApRecord& r : boardEntries(*latest, since))
        if (!r.empty()) out.push_back(r);
    return out;
}

uint64_t WifiFeed::dumpsRead() const {
    std::lock_guard<std::mutex> guard(lock);
    return reads;
}

std::unique_ptr<IWifiSource> openWifiSource(const WifiSettings& settings, std::string& error,
                                            IClock& clock) {
    if (!settings.modelPath.empty()) {
        error = settings.modelPath + ": a simulated site is not a Wi-Fi source of its own";
        return nullptr;
    }
    if (!settings.replayPath.empty()) {
        std::unique_ptr<ReplayWifiSource> replay =
            ReplayWifiSource::open(settings.replayPath, error, clock);
        if (!replay) {
            if (error.find(settings.replayPath) == std::string::npos)
                error = settings.replayPath + ": " + error;
            return nullptr;
        }
        return replay;
    }
    LiveWifiOptions options;
    options.interface = settings.interface;
    options.trigger = settings.trigger;
    options.capturePath = settings.capturePath;
    return std::make_unique<LiveWifiSource>(std::move(options), clock);
}

} // namespace walkmere
