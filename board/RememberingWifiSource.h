#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/Clock.h"
#include "wifi/WifiSource.h"

namespace walkmere {

// A source whose dumps also hold the BSSs that its inner source heard in earlier dumps but
// not in this one, at the signal they were last heard with and as long ago as that was,
// until they have gone unheard for `forgetSeconds`: the list a board keeps, for a source
// that gives only what one scan heard (the simulated site). An AP the surveyor walked away
// from then ages on the board, and the program's live table lets it go at its decertify or
// delete time instead of keeping its last reading for ever. (A live adapter needs none of
// this: the kernel keeps its scan results for a while in the same way.)
//
// A dump's `raw` stays the inner source's: the BSSs added here are in `bss` only.
class RememberingWifiSource final : public IWifiSource {
public:
    // As long as the stand-in board's scenario keeps an unheard AP by default.
    static constexpr uint32_t kDefaultForgetSeconds = 120;

    RememberingWifiSource(std::unique_ptr<IWifiSource> inner,
                          uint32_t forgetSeconds = kDefaultForgetSeconds);

    std::optional<ScanDump> next(std::string& error) override;
    std::string firmware() const override { return inner->firmware(); }
    std::string serial() const override { return inner->serial(); }
    void interrupt() override { inner->interrupt(); }

private:
    struct Kept {
        WifiBss bss;          // as last heard
        uint32_t heardAt = 0; // IClock::seconds() then
    };

    std::unique_ptr<IWifiSource> inner;
    const uint32_t forgetSeconds;
    std::unordered_map<uint64_t, Kept> kept; // by BSSID (its 48 bits)
};

} // namespace walkmere
