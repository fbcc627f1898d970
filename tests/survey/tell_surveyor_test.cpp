// What the surveyor meets when a command passes the store's notices on: each box, then its
// sound played to its end, before the next box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "survey/TellSurveyor.h"
#include "testkit/EventLog.h"

namespace walkmere {
namespace {

TEST(TellSurveyor, EachBoxComesBeforeItsSoundAndTheNextBox) {
    testkit::ScriptedPrompter boxes;
    testkit::RecordingSoundPlayer sounds;
    testkit::EventLog met;
    testkit::LoggingPrompter prompter(boxes, met);
    testkit::LoggingSound sound(sounds, met);
    tellSurveyor({{"first", "File Error", MessageIcon::Stop, "REDALERT"},
                  {"second", {}, MessageIcon::None, {}}},
                 prompter, sound);
    EXPECT_EQ(met.all(),
              (std::vector<std::string>{"message:first", "sync:REDALERT", "message:second"}));
    const auto shown = boxes.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, "File Error");
    EXPECT_EQ(shown[0].icon, MessageIcon::Stop);
    EXPECT_EQ(shown[1].caption, kApplicationTitle);
    EXPECT_EQ(shown[1].icon, MessageIcon::None);
}

} // namespace
} // namespace walkmere
