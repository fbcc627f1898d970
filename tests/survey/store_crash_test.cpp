// Crash safety: a process killed in the middle of storing points, and files cut at every
// byte of their last point, always load to a consistent, aligned survey.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <random>

#include "survey/PointsWalk.h"
#include "testkit/StoreFixture.h"

namespace walkmere {
namespace {

using namespace storetest;

// Point number n of a run: at (n, 1000 + n) with n % 11 readings, weakest first by
// construction, so reading j is AP j.
std::vector<ApRecord> apsFor(int n) {
    std::vector<ApRecord> v;
    const std::string number = std::to_string(n);
    const std::string ssid = "n" + number;
    for (int j = 0; j < n % 11; ++j)
        v.push_back(ap(uint8_t(j), int8_t(-90 + 3 * j), uint16_t(5000 + 5 * (j + 1)), ssid,
                       uint8_t(n & 0xFF)));
    return v;
}

void expectReadingOf(const ApReading& r, int n, int j) {
    EXPECT_EQ(r.channel(), j + 1);
    EXPECT_EQ(r.rssi256(), (-90 + 3 * j) * 256);
    EXPECT_EQ(r.mac()[0], n & 0xFF);
    EXPECT_EQ(r.mac()[5], j);
    EXPECT_EQ(r.ssid(), "n" + std::to_string(n));
}

// Walks the file: every record is point k of the run, whole, and the section ends aligned.
// Returns the points found and their reading counts.
std::vector<int> walkRun(const std::filesystem::path& path) {
    std::vector<int> counts;
    int fd = ::open(path.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    const PointsWalkEnd end =
        walkPointsSection(fd, kPointsAt, [&](const PointsEntry& e, const PointSummary&) {
            const int k = int(counts.size());
            EXPECT_EQ(e.record.x(), k);
            EXPECT_EQ(e.record.y(), 1000 + k);
            EXPECT_EQ(e.record.kind(), KIND_SURVEY_POINT);
            EXPECT_EQ(e.record.readingCount(), e.readingsPresent());
            for (int j = 0; j < e.readingsPresent(); ++j)
                expectReadingOf(e.readings[size_t(j)], k, j);
            counts.push_back(e.readingsPresent());
            return true;
        });
    EXPECT_EQ(end.status, PointsWalkEnd::Status::End);
    EXPECT_FALSE(end.tail.torn) << "the file was left unaligned";
    ::close(fd);
    return counts;
}

[[noreturn]] void commitForever(const std::string& path, int report) {
    CSurveyStore store;
    store.adoptSite(path, makeHeader());
    const StoreOutcome loaded = store.loadPoints();
    if (!loaded || !loaded.notices.empty()) _exit(3);
    int n = store.locationCount();
    if (::write(report, &n, sizeof n) != sizeof n) _exit(5);
    for (;;) {
        store.beginPoint(n, 1000 + n, "TEST");
        std::vector<ApRecord> aps = apsFor(n);
        if (store.commitPoint(aps).stored < 0) _exit(4);
        ++n; // this commit has returned: the point must survive
        if (::write(report, &n, sizeof n) != sizeof n) _exit(5);
    }
}

int killCount() {
    const char* s = std::getenv("WALKMERE_STORE_CRASH_KILLS");
    int n = s ? std::atoi(s) : 0;
    return n > 0 ? n : 200;
}

TEST(StoreCrashSafety, KilledWhileCommittingLosesNoReturnedPointAndLeavesNoPartOne) {
    testkit::ScopedDataHome home;
    testkit::TempDir dir;
    const auto path = dir.file("site.kvs");
    testkit::writeFileBytes(path, siteBytes());

    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    const int kills = killCount();
    int committed = 0;               // points whose commit returned
    std::map<int, int> inFlightSeen; // a point seen before its commit returned, by count

    for (int round = 0; round < kills; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            commitForever(path.string(), fds[1]);
        }
        ::close(fds[1]);

        // Mostly kill in the middle of commits; now and then while the child is still
        // loading (and perhaps repairing).
        if (rng() % 10 == 0) {
            ::usleep(rng() % 1000);
        } else {
            pollfd p{fds[0], POLLIN, 0};
            ASSERT_EQ(::poll(&p, 1, 10000), 1) << "the child never started committing";
            ::usleep(rng() % 4000);
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "child ended by itself, code " << WEXITSTATUS(status);

        int value;
        while (::read(fds[0], &value, sizeof value) == sizeof value) {
            ASSERT_GE(value, committed);
            committed = value;
        }
        ::close(fds[0]);

        // Load as the program would: whatever repair is due happens here.
        CSurveyStore store;
        store.adoptSite(path.string(), makeHeader());
        const StoreOutcome loaded = store.loadPoints();
        ASSERT_TRUE(loaded);
        // At most the one notice of a repair.
        ASSERT_LE(loaded.notices.size(), 1u) << loaded.notices[1].text;

        std::vector<int> counts = walkRun(path);
        const int found = int(counts.size());
        ASSERT_GE(found, committed) << "a point whose commit returned is gone";
        ASSERT_LE(found, committed + 1);
        ASSERT_EQ(store.locationCount(), found);
        for (int k = 0; k < found; ++k) {
            auto seen = inFlightSeen.find(k);
            if (k == committed && seen == inFlightSeen.end()) {
                ASSERT_LE(counts[size_t(k)], k % 11); // the point being written, maybe cut
                inFlightSeen[k] = counts[size_t(k)];
            } else if (seen != inFlightSeen.end()) {
                ASSERT_EQ(counts[size_t(k)], seen->second);
            } else {
                ASSERT_EQ(counts[size_t(k)], k % 11);
            }
        }
        committed = found; // the next child carries on after what is in the file
        if (::testing::Test::HasFailure()) return;
    }
    RecordProperty("points", committed);
    std::printf("%d kills, %d points stored\n", kills, committed);
}

TEST(StoreCrashSafety, FileCutAtEveryByteOfItsLastPointLoadsAndTakesANewPoint) {
    testkit::ScopedDataHome home;
    testkit::TempDir dir;
    const auto path = dir.file("site.kvs");
    testkit::writeFileBytes(path, siteBytes());
    size_t told = 0; // the notices of every operation below
    {
        CSurveyStore store;
        store.adoptSite(path.string(), makeHeader());
        for (int n : {3, 0, 4, 3}) { // the last one: 3 readings
            store.beginPoint(n, 1000 + n, "TEST");
            std::vector<ApRecord> aps = apsFor(n);
            const CommitOutcome committed = store.commitPoint(aps);
            ASSERT_GE(committed.stored, 0);
            told += committed.notices.size();
        }
    }
    const Bytes whole = testkit::readFileBytes(path);
    const size_t lastAt = whole.size() - (71 + 3 * 41);

    size_t repairs = 0;
    for (size_t cut = lastAt; cut <= whole.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        testkit::writeFileBytes(path, Bytes(whole.begin(), whole.begin() + long(cut)));
        CSurveyStore store;
        store.adoptSite(path.string(), makeHeader());
        const StoreOutcome loaded = store.loadPoints();
        ASSERT_TRUE(loaded);
        told += loaded.notices.size();

        const size_t tail = cut - lastAt;
        const bool lastThere = tail >= 71;
        const int lastReadings = lastThere ? int(std::min<size_t>((tail - 71) / 41, 3)) : 0;
        ASSERT_EQ(store.locationCount(), lastThere ? 4 : 3);
        ASSERT_EQ(store.readingTotal(), 7 + lastReadings);
        ASSERT_EQ(std::filesystem::file_size(path),
                  lastAt + (lastThere ? 71 + 41 * size_t(lastReadings) : 0));
        if (cut != lastAt && cut != whole.size()) ++repairs;
        ASSERT_EQ(told, repairs);

        store.beginPoint(-7, -8, "TEST");
        std::vector<ApRecord> aps = {ap(1, -33), ap(2, -66)};
        const CommitOutcome committed = store.commitPoint(aps);
        ASSERT_EQ(committed.stored, 1);
        told += committed.notices.size();

        CSurveyStore again;
        again.adoptSite(path.string(), makeHeader());
        const StoreOutcome reloaded = again.loadPoints();
        ASSERT_TRUE(reloaded);
        told += reloaded.notices.size();
        ASSERT_EQ(again.locationCount(), lastThere ? 5 : 4);
        ASSERT_EQ(again.readingTotal(), 7 + lastReadings + 2);
        const PointIndexEntry& last = again.index().back();
        EXPECT_EQ(last.x, -7);
        EXPECT_EQ(last.y, -8);
        EXPECT_EQ(last.bestRssi, -33);
        EXPECT_EQ(last.readingCount, 2);
        EXPECT_EQ(again.index()[2].readingCount, 4);
        EXPECT_EQ(std::filesystem::file_size(path), last.fileOffset + 71 + 82u);
    }
    // Each repair told once, with its copy kept.
    EXPECT_EQ(told, repairs);
    EXPECT_EQ(size_t(std::distance(std::filesystem::directory_iterator(home.repaired()), {})),
              repairs);
}

} // namespace
} // namespace walkmere
