#include "board/WifiBoard.h"

namespace walkmere {

WifiBoard::WifiBoard(std::unique_ptr<WifiFeed> feed, PseudoTerminal pty, IClock& clock)
    : feed(std::move(feed)), pty(std::move(pty)) {
    Scenario scenario;
    board.emplace(this->pty.masterFd(), std::move(scenario), *this->feed, clock);
    board->start();
}

WifiBoard::~WifiBoard() {
    // The board reads the feed: it stops first.
    if (board) board->stop();
    board.reset();
    feed->stop();
}

std::unique_ptr<WifiBoard> WifiBoard::start(const WifiSettings& settings, std::string& error,
                                            WifiFeed::Sink onError, WifiFeed::Sink onNotice,
                                            IClock& clock) {
    std::unique_ptr<IWifiSource> source = openWifiSource(settings, error, clock);
    if (!source) return nullptr;
    return start(std::move(source), settings.interval(), error, std::move(onError),
                 std::move(onNotice), clock);
}

std::unique_ptr<WifiBoard> WifiBoard::start(std::unique_ptr<IWifiSource> source,
                                            uint32_t intervalMs, std::string& error,
                                            WifiFeed::Sink onError, WifiFeed::Sink onNotice,
                                            IClock& clock) {
    auto feed = std::make_unique<WifiFeed>(std::move(source), intervalMs, clock);
    feed->setErrorSink(std::move(onError));
    feed->setNoticeSink(std::move(onNotice));
    if (!feed->start(error)) return nullptr;
    std::optional<PseudoTerminal> pty = PseudoTerminal::open(error);
    if (!pty) return nullptr;
    return std::unique_ptr<WifiBoard>(new WifiBoard(std::move(feed), std::move(*pty), clock));
}

} // namespace walkmere
