// Every store operation against a failure at each of its writes, flushes and truncations in
// turn: the k-th call alone, the k-th and every call after it, and (for writes) a k-th write
// that lands half its bytes before the disk fills. After each run the store's outcome must
// say so when something failed, must not claim success for a change it could not make, and its
// index and counters must match what a fresh load finds in the file, which must read back
// whole after the load's repair.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "survey/FileOps.h"
#include "survey/PointsWalk.h"
#include "testkit/FailingFileOps.h"
#include "testkit/StoreFixture.h"

namespace walkmere {
namespace {

using namespace storetest;

using Kind = testkit::FailingFileOps::Call;
enum class Mode { Once, Onward, HalfThenFail };
enum class Op { Commit, PlaceAp, Delete, Discard, LoadTorn };

const char* kindName(Kind k) {
    return k == Kind::Write ? "write" : k == Kind::Flush ? "flush" : "truncate";
}
const char* modeName(Mode m) {
    return m == Mode::Once ? "once" : m == Mode::Onward ? "onward" : "half-then-fail";
}

// Fails the k-th call of the swept kind (in Onward mode every call from the k-th on; in
// HalfThenFail mode the k-th write lands half its bytes and the write after it fails). With
// firstFlushFails (for a swept kind other than flushes) the operation's first flush fails as
// well, which drives it into its rollback or repair, so the sweep reaches the calls made
// there.
void plan(testkit::FailingFileOps& ops, Kind kind, Mode mode, int k, int error,
          bool firstFlushFails) {
    if (mode == Mode::Once) ops.failOn(kind, k, error);
    if (mode == Mode::Onward) ops.failFrom(kind, k, error);
    if (mode == Mode::HalfThenFail) ops.failAfterHalfWrite(k, error);
    if (firstFlushFails) ops.failOn(Kind::Flush, 1, error);
}

bool sameEntry(const PointIndexEntry& a, const PointIndexEntry& b) {
    return a.x == b.x && a.y == b.y && a.bestRssi == b.bestRssi &&
           a.readingCount == b.readingCount && a.kind == b.kind && a.fileOffset == b.fileOffset;
}

// The index as a load would rebuild it: deleted points are left out.
std::vector<PointIndexEntry> liveEntries(const CSurveyStore& store) {
    std::vector<PointIndexEntry> out;
    for (const PointIndexEntry& e : store.index())
        if (e.kind != KIND_DELETED) out.push_back(e);
    return out;
}

std::string describe(const std::vector<PointIndexEntry>& v) {
    std::string s;
    for (const PointIndexEntry& e : v)
        s += "(" + std::to_string(e.x) + "," + std::to_string(e.y) + " k" + std::to_string(e.kind) +
             " n" + std::to_string(e.readingCount) + " @" + std::to_string(e.fileOffset) + ") ";
    return s;
}

bool sameIndex(const std::vector<PointIndexEntry>& a, const std::vector<PointIndexEntry>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!sameEntry(a[i], b[i])) return false;
    return true;
}

// A survey with two measured points and a placed AP between them.
Bytes wholePoints() {
    return pointBytes(10, 10, KIND_SURVEY_POINT, {reading(-60 * 256), reading(-72 * 256, 11, 2)}) +
           pointBytes(50, 50, KIND_DYNAMIC_AP) +
           pointBytes(200, 200, KIND_SURVEY_POINT, {reading(-50 * 256, 1, 3)});
}

// The same with a point whose write was cut: it announces three readings, one is whole and
// 20 bytes of the second reached the disk.
Bytes tornPoints() {
    Bytes b = wholePoints() + pointBytes(300, 300, KIND_SURVEY_POINT, {reading(-45 * 256)}, 3);
    ApReading second = reading(-47 * 256, 6, 9);
    b.insert(b.end(), second.bytes.begin(), second.bytes.begin() + 20);
    return b;
}

class FaultSweep : public ::testing::Test {
protected:
    static void TearDownTestSuite() {
        std::printf("fault sweep: %d cases, %d with a failure hit\n", totalCases, totalHits);
    }

    // Runs every kind x errno x mode x k for one operation; returns the cases run.
    int sweep(Op op) {
        int cases = 0;
        for (Kind kind : {Kind::Write, Kind::Flush, Kind::Truncate}) {
            for (int error : {EIO, ENOSPC}) {
                for (Mode mode : {Mode::Once, Mode::Onward, Mode::HalfThenFail}) {
                    if (mode == Mode::HalfThenFail && kind != Kind::Write) continue;
                    for (bool firstFlushFails : {false, true}) {
                        if (firstFlushFails && kind == Kind::Flush) continue;
                        for (int k = 1; k <= 64; ++k) {
                            ++cases;
                            ++totalCases;
                            const bool hit = runCase(op, kind, mode, k, error, firstFlushFails);
                            if (hit) ++totalHits;
                            if (!hit || ::testing::Test::HasFatalFailure()) break;
                            EXPECT_LT(k, 64) << "the operation never ran out of calls";
                        }
                    }
                }
            }
        }
        return cases;
    }

    // One case on a fresh site; true when the planned failure was reached.
    bool runCase(Op op, Kind kind, Mode mode, int k, int error, bool firstFlushFails) {
        SCOPED_TRACE(std::string(kindName(kind)) + " " + modeName(mode) +
                     " k=" + std::to_string(k) + " " + std::strerror(error) +
                     (firstFlushFails ? " (first flush fails)" : ""));
        StoreFixture f;
        f.makeSite(op == Op::LoadTorn ? tornPoints() : wholePoints());
        const Bytes original = f.file();
        const Bytes prefix(original.begin(), original.begin() + kPointsAt + kPointsSectionHead);

        std::vector<PointIndexEntry> before;
        if (op == Op::LoadTorn) {
            // What the load must show: the cut point with the one reading it has.
            StoreFixture reference;
            reference.makeSite(tornPoints());
            EXPECT_TRUE(reference.store.loadPoints());
            before = reference.store.index();
            EXPECT_EQ(before.size(), 4u);
        } else {
            EXPECT_TRUE(f.store.loadPoints());
            before = f.store.index();
        }
        if (op == Op::Delete) {
            EXPECT_EQ(f.store.findNearest(200, 200), KIND_SURVEY_POINT);
        }

        testkit::FailingFileOps ops;
        plan(ops, kind, mode, k, error, firstFlushFails);
        StoreOutcome outcome;
        {
            ScopedFileOps use(ops);
            outcome = runOp(op, f.store);
        }
        const bool succeeded = outcome.done;
        const bool hit = ops.calls(kind) >= k; // the swept call was reached
        const std::vector<std::string> messages = texts(outcome.notices);

        if (hit || (firstFlushFails && ops.calls(Kind::Flush) > 0)) {
            EXPECT_FALSE(messages.empty()) << "a failure went unreported";
            for (const std::string& m : messages)
                EXPECT_NE(m, "Deleted.");
            // A load whose repair failed has still read the points; the repair is finished
            // by the next write. Every other operation must not claim success.
            if (op != Op::LoadTorn) {
                EXPECT_FALSE(succeeded) << "a failure reported as success";
            }
        } else {
            EXPECT_TRUE(succeeded);
            // "Deleted.", or what the repair cut and where the copy is.
            const size_t expected = op == Op::Delete || op == Op::LoadTorn ? 1 : 0;
            EXPECT_EQ(messages.size(), expected);
        }

        // The store agrees with a fresh load of the file, which agrees with the outcome. A
        // repair that was put off (no copy) or failed is the fresh load's to do, and to tell.
        const bool leftTorn = endsTorn(f.path.string());
        EXPECT_TRUE(!leftTorn || op == Op::LoadTorn) << "an operation left a torn tail";
        CSurveyStore fresh;
        fresh.adoptSite(f.path.string(), makeHeader());
        const StoreOutcome freshLoad = fresh.loadPoints();
        EXPECT_TRUE(freshLoad);
        EXPECT_EQ(freshLoad.notices.size(), leftTorn ? 1u : 0u);
        const std::vector<PointIndexEntry> live = liveEntries(f.store);
        // An append whose flush failed and whose cutting back failed too leaves the whole
        // record in the file; the store remembers the doubtful tail and cuts it before its
        // next write (checked below). Until then a load elsewhere finds the record.
        const bool appendNotTakenBack = (op == Op::Commit || op == Op::PlaceAp) &&
                                        firstFlushFails && kind == Kind::Truncate && hit;
        if (appendNotTakenBack) {
            EXPECT_TRUE(sameIndex(live, before)) << "store: " << describe(live);
            expectOutcome(op, true, before, fresh.index());
        } else {
            EXPECT_TRUE(sameIndex(live, fresh.index()))
                << "store: " << describe(live) << "\nfile:  " << describe(fresh.index());
            EXPECT_EQ(f.store.locationCount(), fresh.locationCount());
            EXPECT_EQ(f.store.readingTotal(), fresh.readingTotal());
            // A deletion whose flush failed and whose put-back failed too stays in the
            // file; the store then shows the point deleted, as the file has it.
            const bool deletionNotTakenBack =
                op == Op::Delete && firstFlushFails && kind == Kind::Write && k >= 2 && hit;
            expectOutcome(op, succeeded || deletionNotTakenBack, before, fresh.index());
        }

        expectFileWhole(f.path.string(), prefix);

        // The store carries on: the next point lands aligned and the file still agrees.
        f.store.beginPoint(400, 400, "TEST");
        const std::vector<ApRecord> aps = {ap(7, -66)};
        EXPECT_EQ(f.store.commitPoint(aps).stored, 1);
        CSurveyStore again;
        again.adoptSite(f.path.string(), makeHeader());
        EXPECT_TRUE(again.loadPoints());
        EXPECT_TRUE(sameIndex(liveEntries(f.store), again.index()))
            << "store: " << describe(liveEntries(f.store))
            << "\nfile:  " << describe(again.index());
        expectFileWhole(f.path.string(), prefix);
        return hit;
    }

    static StoreOutcome runOp(Op op, CSurveyStore& store) {
        switch (op) {
        case Op::Commit: {
            store.beginPoint(99, 99, "TEST");
            const std::vector<ApRecord> aps = {ap(1, -70), ap(2, -40), ap(3, -81)};
            CommitOutcome committed = store.commitPoint(aps);
            return {committed.stored == 1, std::move(committed.notices)};
        }
        case Op::PlaceAp:
            return store.placeAccessPoint(120, 30);
        case Op::Delete:
            return store.deletePoint();
        case Op::Discard:
            return store.discardPoints();
        case Op::LoadTorn:
            return store.loadPoints();
        }
        return {};
    }

    // What the file holds after the operation, as a fresh load sees it.
    static void expectOutcome(Op op, bool succeeded, const std::vector<PointIndexEntry>& before,
                              const std::vector<PointIndexEntry>& now) {
        std::vector<PointIndexEntry> done = before;
        switch (op) {
        case Op::Commit:
            done.push_back({99, 99, -40, 3, KIND_SURVEY_POINT, 0});
            break;
        case Op::PlaceAp:
            done.push_back({120, 30, -100, 0, KIND_DYNAMIC_AP, 0});
            break;
        case Op::Delete:
            done.pop_back(); // the point at (200, 200)
            break;
        case Op::Discard:
            done.clear();
            break;
        case Op::LoadTorn:
            break;
        }
        if (!done.empty() && done.size() > before.size())
            done.back().fileOffset = now.empty() ? 0 : now.back().fileOffset;
        const bool isDone = sameIndex(now, done);
        const bool isBefore = sameIndex(now, before);
        if (succeeded) {
            EXPECT_TRUE(isDone) << "file: " << describe(now);
        } else if (op == Op::Discard) {
            // The points were cut but the flush failed: reported, and shown as gone.
            EXPECT_TRUE(isBefore || isDone) << "file: " << describe(now);
        } else {
            EXPECT_TRUE(isBefore) << "a failed operation changed the file: " << describe(now);
        }
    }

    static bool endsTorn(const std::string& path) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_GE(fd, 0);
        const bool torn = walkPointsSection(fd, kPointsAt).tail.torn;
        ::close(fd);
        return torn;
    }

    // The header and the section head are untouched and the points read back to a clean end.
    static void expectFileWhole(const std::string& path, const Bytes& prefix) {
        const Bytes file = testkit::readFileBytes(path);
        ASSERT_GE(file.size(), prefix.size());
        EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), file.begin()));
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        const PointsWalkEnd end =
            walkPointsSection(fd, kPointsAt, [](const PointsEntry& e, const PointSummary&) {
                EXPECT_FALSE(e.readingsCut());
                return true;
            });
        // Read to the end: the section's head holds the sizes 71 and 41 (else NoSection or
        // BadSizes).
        EXPECT_EQ(end.status, PointsWalkEnd::Status::End);
        EXPECT_FALSE(end.tail.torn);
        EXPECT_EQ(end.tail.fileEnd, file.size());
        ::close(fd);
    }

    static inline int totalCases = 0;
    static inline int totalHits = 0;
};

TEST_F(FaultSweep, CommitPointWithThreeReadings) {
    EXPECT_GT(sweep(Op::Commit), 10);
}

TEST_F(FaultSweep, PlaceAccessPoint) {
    EXPECT_GT(sweep(Op::PlaceAp), 10);
}

TEST_F(FaultSweep, DeletePoint) {
    EXPECT_GT(sweep(Op::Delete), 10);
}

TEST_F(FaultSweep, DiscardPoints) {
    EXPECT_GT(sweep(Op::Discard), 10);
}

TEST_F(FaultSweep, LoadRepairingATornTail) {
    EXPECT_GT(sweep(Op::LoadTorn), 10);
}

} // namespace
} // namespace walkmere
