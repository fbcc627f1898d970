#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <utility>

#include "testkit/DumpBuilder.h"
#include "testkit/ManualClock.h"
#include "testkit/TempDir.h"
#include "wifi/Nl80211Scanner.h"
#include "wifi/ScanCapture.h"
#include "wifi/WifiSource.h"

namespace walkmere {
namespace {

namespace fs = std::filesystem;
using testkit::ManualClock;
using wifitest::BssFields;
using wifitest::Bytes;

// What opening an interface that is not there says on this machine: without cfg80211 the
// kernel has no nl80211 family at all.
std::string expectedOpenError(const std::string& interface) {
    if (fs::exists("/sys/module/cfg80211"))
        return "no network interface named \"" + interface + "\"";
    return "no nl80211 on this machine (no wireless support)";
}

TEST(WifiLive, OpeningFailsAtOnceWithOneLine) {
    const std::string name = "wlmnone0";
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    EXPECT_EQ(Nl80211Scanner::open({name, "/sys/class/net", 500}, error), nullptr);
    EXPECT_EQ(error, expectedOpenError(name));

    ManualClock clock;
    LiveWifiSource source({name, true, "", 500}, clock);
    for (int i = 0; i < 2; ++i) {
        error.clear();
        EXPECT_FALSE(source.next(error).has_value());
        EXPECT_EQ(error, expectedOpenError(name));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(WifiLive, FirmwareAndSerialFromTheInterfacesFolder) {
    testkit::TempDir sys;
    fs::create_directories(sys.path() / "wlp2s0" / "device");
    fs::create_directories(sys.path() / "drivers" / "iwlwifi");
    fs::create_symlink(sys.path() / "drivers" / "iwlwifi",
                       sys.path() / "wlp2s0" / "device" / "driver");
    std::ofstream(sys.path() / "wlp2s0" / "address") << "a4:c3:f0:1b:2e:9d\n";
    fs::create_directories(sys.path() / "odd");
    std::ofstream(sys.path() / "odd" / "address") << "zz\n";
    const struct {
        const char* interface;
        const char* firmware;
        const char* serial;
    } cases[] = {
        {"wlp2s0", "iwlwifi", "1B2E9D"},
        {"odd", "nl80211", "000000"},
        {"gone", "nl80211", "000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(liveFirmware(sys.path().string(), c.interface), c.firmware) << c.interface;
        EXPECT_EQ(liveSerial(sys.path().string(), c.interface), c.serial) << c.interface;
        LiveWifiSource source({c.interface, false, "", 500, sys.path().string()});
        EXPECT_EQ(source.firmware(), c.firmware);
        EXPECT_EQ(source.serial(), c.serial);
    }
}

// A kernel that answers the live source's requests from made-up dumps, in turn.
struct StandInKernel {
    std::vector<Bytes> dumps;
    ScanTrigger trigger = ScanTrigger::NoPermission;
    int opens = 0, triggers = 0, read = 0;
    bool failNextDump = false;

    LiveWifiSource::ScannerOpener opener() {
        return [this](const ScannerSetup&, std::string&) -> std::unique_ptr<IScanner> {
            ++opens;
            return std::make_unique<Scanner>(*this);
        };
    }
    struct Scanner final : IScanner {
        explicit Scanner(StandInKernel& k) : k(k) {}
        ScanTrigger triggerScan(std::string& error) override {
            ++k.triggers;
            error = "no permission to trigger scans on wlan0 (needs CAP_NET_ADMIN)";
            return k.trigger;
        }
        bool dumpScan(Bytes& raw, std::string& error) override {
            if (std::exchange(k.failNextDump, false)) {
                error = "wlan0 is down";
                return false;
            }
            raw = k.dumps[static_cast<size_t>(k.read++) % k.dumps.size()];
            return true;
        }
        StandInKernel& k;
    };
};

TEST(WifiLive, DumpsAreStampedCapturedAndAFailedScannerIsOpenedAgain) {
    StandInKernel kernel;
    for (uint8_t i = 1; i <= 3; ++i)
        kernel.dumps.push_back(
            wifitest::buildDump(std::vector<BssFields>(i), wifitest::kFamily, i));
    testkit::TempDir dir;
    const fs::path capture = dir.file("walk.nlscan");
    ManualClock clock(50);
    LiveWifiSource source({"wlan0", true, capture.string(), 500}, clock, kernel.opener());
    std::vector<std::string> notices;
    source.setNoticeSink([&](const std::string& text) { notices.push_back(text); });

    std::string error;
    for (size_t call = 0; call < 4; ++call) {
        if (call == 2) {
            kernel.failNextDump = true;
            EXPECT_FALSE(source.next(error));
            EXPECT_EQ(error, "wlan0 is down");
        }
        const std::optional<ScanDump> dump = source.next(error);
        ASSERT_TRUE(dump) << error;
        EXPECT_EQ(dump->bss.size(), call % 3 + 1);
        EXPECT_EQ(dump->readAt, 50 + 2 * call);
        clock.advance(2);
    }
    EXPECT_EQ(kernel.opens, 2);
    EXPECT_EQ(kernel.triggers, 1); // refused once: not asked again
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].rfind("no permission to trigger scans (needs CAP_NET_ADMIN)", 0), 0u);

    std::vector<ScanDump> captured;
    ASSERT_TRUE(loadScanCapture(capture.string(), captured, error)) << error;
    ASSERT_EQ(captured.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(captured[i].raw, kernel.dumps[i % 3]) << i;
}

TEST(WifiLive, ACaptureThatCannotBeWrittenIsSaidOnceAndScanningGoesOn) {
    StandInKernel kernel;
    kernel.dumps.push_back(wifitest::buildDump({BssFields{}}));
    kernel.trigger = ScanTrigger::Finished;
    testkit::TempDir dir;
    const std::string capture = (dir.path() / "no-such-folder" / "walk.nlscan").string();
    ManualClock clock;
    LiveWifiSource source({"wlan0", true, capture, 500}, clock, kernel.opener());
    std::vector<std::string> notices;
    source.setNoticeSink([&](const std::string& text) { notices.push_back(text); });
    std::string error;
    for (int call = 0; call < 3; ++call)
        EXPECT_TRUE(source.next(error)) << error;
    EXPECT_EQ(kernel.triggers, 3);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0],
              "cannot open the scan capture " + capture + ": No such file or directory");
}

TEST(WifiReplay, PlaysTheDumpsInTurnStampedWhenPlayed) {
    testkit::TempDir dir;
    Bytes file;
    for (uint8_t i = 1; i <= 3; ++i) {
        std::vector<BssFields> bss(i);
        for (uint8_t k = 0; k < i; ++k)
            bss[k].bssid = wifitest::bssid(k);
        wifitest::append(file, wifitest::buildDump(bss, wifitest::kFamily, i));
    }
    const fs::path path = dir.file("lo\tbby walk.nlscan");
    testkit::writeFileBytes(path, file);
    ManualClock clock(100);
    std::string error;
    const std::unique_ptr<ReplayWifiSource> source = ReplayWifiSource::open(path, error, clock);
    ASSERT_TRUE(source) << error;
    EXPECT_EQ(source->dumpCount(), 3u);
    EXPECT_EQ(source->firmware(), "nl80211 replay");
    EXPECT_EQ(source->serial(), "lo_bby");
    for (size_t call = 0; call < 7; ++call) {
        const std::optional<ScanDump> dump = source->next(error);
        ASSERT_TRUE(dump);
        EXPECT_EQ(dump->bss.size(), call % 3 + 1) << call;
        EXPECT_EQ(dump->readAt, 100 + 5 * call) << call;
        clock.advance(5);
    }

    testkit::writeFileBytes(path, Bytes(file.begin(), file.end() - 1));
    EXPECT_FALSE(ReplayWifiSource::open(path, error, clock));
    EXPECT_NE(error.find(path.string() + ": damaged scan capture at byte "), std::string::npos)
        << error;
}

// A capture that changes while it plays is said, not played: a change of size or time at
// once, one that keeps both when the dump it damaged comes round.
TEST(WifiReplay, AFileChangedUnderTheReplayIsSaid) {
    testkit::TempDir dir;
    const Bytes first = wifitest::buildDump({BssFields{}}, wifitest::kFamily, 1);
    const Bytes second = wifitest::buildDump(wifitest::variedBss(3), wifitest::kFamily, 2);
    Bytes file = first;
    wifitest::append(file, second);
    Bytes damaged = file;
    damaged[first.size()] ^= 0x40; // the length of the second dump's first message
    const std::string path = dir.file("walk.nlscan").string();
    const std::string changed = path + ": the scan capture changed while it was played";
    const struct {
        const char* what;
        Bytes bytes;
        bool sameTime;
        std::string error;
    } cases[] = {
        {"cut short", Bytes(first.begin(), first.end()), false, changed},
        {"grown",
         [&] {
             Bytes b = file;
             wifitest::append(b, first);
             return b;
         }(),
         false, changed},
        {"damaged in place", damaged, true, changed + " (damaged scan capture at byte "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testkit::writeFileBytes(path, file);
        std::string error;
        const std::unique_ptr<ReplayWifiSource> source = ReplayWifiSource::open(path, error);
        ASSERT_TRUE(source) << error;
        ASSERT_TRUE(source->next(error)) << error;
        const auto written = fs::last_write_time(path);
        testkit::writeFileBytes(path, c.bytes);
        if (c.sameTime) fs::last_write_time(path, written);
        for (int call = 0; call < 2; ++call) {
            EXPECT_FALSE(source->next(error));
            EXPECT_EQ(error.substr(0, c.error.size()), c.error);
        }
    }
}

// What the replay holds does not grow with the count of dumps. (Under a sanitizer mallinfo2
// counts nothing and this checks nothing.)
TEST(WifiReplay, HoldsOneDumpWhateverTheCountOfDumps) {
    testkit::TempDir dir;
    const Bytes empty = wifitest::buildDump({});
    Bytes file;
    file.reserve(empty.size() * 100000);
    for (int i = 0; i < 100000; ++i)
        wifitest::append(file, empty);
    const fs::path path = dir.file("empty.nlscan");
    testkit::writeFileBytes(path, file);
    file = Bytes();
    auto inUse = [] {
        const struct mallinfo2 m = mallinfo2();
        return m.uordblks + m.hblkhd;
    };
    const size_t before = inUse();
    std::string error;
    const std::unique_ptr<ReplayWifiSource> source = ReplayWifiSource::open(path, error);
    ASSERT_TRUE(source) << error;
    EXPECT_EQ(source->dumpCount(), 100000u);
    EXPECT_TRUE(source->next(error)) << error;
    EXPECT_LT(inUse() - before, 256u * 1024) << "a 2 MB capture of 100000 empty dumps";
}

} // namespace
} // namespace walkmere
