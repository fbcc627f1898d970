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

// A stand-in board fed by the laptop's adapter (or a capture of it), served inside the
// program on a private pseudo-terminal: the program opens slavePath() as its port, so what
// the adapter hears reaches it through the same link, frames and protocol as a real board.
class WifiBoard {
public:
    // Opens the source, reads its first dump, opens the pseudo-terminal and starts serving.
    // Nothing, with one line in `error`, when any of it fails (no nl80211, no such interface,
    // a damaged capture). The sinks are the feed's (see WifiFeed), called from its thread.
    static std::unique_ptr<WifiBoard> start(const WifiSettings& settings, std::string& error,
                                            WifiFeed::Sink onError = nullptr,
                                            WifiFeed::Sink onNotice = nullptr,
                                            IClock& clock = systemClock());
    ~WifiBoard();
    WifiBoard(const WifiBoard&) = delete;
    WifiBoard& operator=(const WifiBoard&) = delete;

    const std::string& slavePath() const { return pty.slavePath(); }
    const WifiFeed& wifiFeed() const { return *feed; }
    BoardStats stats() const { return board->stats(); }

private:
    WifiBoard(std::unique_ptr<WifiFeed> feed, PseudoTerminal pty, IClock& clock);

    std::unique_ptr<WifiFeed> feed;
    PseudoTerminal pty;
    std::optional<StandInBoard> board;
};

} // namespace walkmere
