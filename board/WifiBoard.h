#pragma once

#include <memory>
#include <optional>
#include <string>

#include "board/PseudoTerminal.h"
#include "board/Scenario.h"
#include "board/StandInBoard.h"
#include "board/WifiFeed.h"
#include "platform/Clock.h"

namespace walkmere {

// A stand-in board fed by a Wi-Fi source (the laptop's adapter, a capture of it, a simulated
// site), served inside the program on a private pseudo-terminal: the program opens
// slavePath() as its port, so what the source hears reaches it through the same link,
// frames and protocol as a real board's.
class WifiBoard {
public:
    // Opens the source the settings name, reads its first dump, opens the pseudo-terminal and
    // starts serving. Nothing, with one line in `error`, when any of it fails (no nl80211, no
    // such interface, a damaged capture). The sinks are the feed's (see WifiFeed), called
    // from its thread.
    static std::unique_ptr<WifiBoard> start(const WifiSettings& settings, std::string& error,
                                            WifiFeed::Sink onError = nullptr,
                                            WifiFeed::Sink onNotice = nullptr,
                                            IClock& clock = systemClock());
    // The same with a source already open, read every `intervalMs`.
    static std::unique_ptr<WifiBoard> start(std::unique_ptr<IWifiSource> source,
                                            uint32_t intervalMs, std::string& error,
                                            WifiFeed::Sink onError = nullptr,
                                            WifiFeed::Sink onNotice = nullptr,
                                            IClock& clock = systemClock());
    ~WifiBoard();
    WifiBoard(const WifiBoard&) = delete;
    WifiBoard& operator=(const WifiBoard&) = delete;

    const std::string& slavePath() const { return pty.slavePath(); }
    const WifiFeed& wifiFeed() const { return *feed; }
    BoardStats stats() const { return board->stats(); }
    // The source's next dump is read at once (WifiFeed::readNow).
    void readNow() { feed->readNow(); }

private:
    WifiBoard(std::unique_ptr<WifiFeed> feed, PseudoTerminal pty, IClock& clock);

    std::unique_ptr<WifiFeed> feed;
    PseudoTerminal pty;
    std::optional<StandInBoard> board;
};

} // namespace walkmere
