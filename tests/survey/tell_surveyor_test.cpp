// What the surveyor meets when a command passes the store's notices on: each box, then its
// sound played to its end, before the next box.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/Prompter.h"
#include "platform/Sound.h"
#include "survey/TellSurveyor.h"

namespace walkmere {
namespace {

// Boxes and sounds in one log, in the order they reach the surveyor.
class Surveyor final : public IPrompter, public ISoundPlayer {
public:
    void showMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override {
        met.push_back("box " + text + " | " + caption + " | " + std::to_string(int(icon)));
    }
    YesNoAnswer askYesNo(const std::string&, const std::string&) override {
        return YesNoAnswer::Dismissed;
    }
    std::optional<std::string> askOpenFile(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> askSaveFile(const FileDialogRequest&) override { return {}; }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    void PlayWave(const std::string& name) override { met.push_back("async " + name); }
    void PlayWaveSync(const std::string& name) override { met.push_back("sync " + name); }
    void MessageBeep() override { met.push_back("beep"); }

    std::vector<std::string> met;
};

TEST(TellSurveyor, EachBoxComesBeforeItsSoundAndTheNextBox) {
    Surveyor surveyor;
    tellSurveyor({{"first", "File Error", MessageIcon::Stop, "REDALERT"},
                  {"second", {}, MessageIcon::None, {}}},
                 surveyor, surveyor);
    EXPECT_EQ(surveyor.met, (std::vector<std::string>{"box first | File Error | 1", "sync REDALERT",
                                                      "box second |  | 0"}));
}

} // namespace
} // namespace walkmere
