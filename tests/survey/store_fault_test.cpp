// A full disk or a failing card: every failed write is reported and undone, and the index
// and counters change only when the file did.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "survey/FileOps.h"
#include "testkit/FailingFileOps.h"
#include "testkit/StoreFixture.h"

namespace walkmere {
namespace {

using namespace storetest;
using testkit::FailingFileOps;
using Call = FailingFileOps::Call;

class StoreFaults : public ::testing::Test, public StoreFixture {
protected:
    void SetUp() override {
        makeSite(pointBytes(10, 10, KIND_SURVEY_POINT, {reading(-60 * 256)}) +
                 pointBytes(50, 50, KIND_DYNAMIC_AP));
        ASSERT_TRUE(store.loadPoints());
        before = file();
    }

    // The notices of a commit that fails.
    Notices commitOne() {
        store.beginPoint(99, 99, "TEST");
        std::vector<ApRecord> aps = {ap(1, -70), ap(2, -40)};
        CommitOutcome committed = store.commitPoint(aps);
        EXPECT_EQ(committed.stored, -1);
        return committed.notices;
    }

    // Nothing changed, and a fresh load agrees.
    void expectUnchanged() {
        EXPECT_EQ(file(), before);
        EXPECT_EQ(store.locationCount(), 1);
        EXPECT_EQ(store.readingTotal(), 1);
        EXPECT_EQ(store.index().size(), 2u);
        CSurveyStore fresh;
        fresh.adoptSite(path.string(), makeHeader());
        EXPECT_TRUE(fresh.loadPoints());
        EXPECT_EQ(fresh.index().size(), 2u);
        EXPECT_EQ(fresh.readingTotal(), 1);
    }

    Bytes before;
    FailingFileOps failing;
};

TEST_F(StoreFaults, FailedWriteOfAPointIsReportedAndTakenBack) {
    Notices told;
    {
        ScopedFileOps use(failing);
        failing.failOn(Call::Write, 1, ENOSPC);
        told = commitOne();
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].text,
              "Could not write the survey point: " + std::string(std::strerror(ENOSPC)));
    EXPECT_FALSE(store.noApHeard());
    expectUnchanged();
}

TEST_F(StoreFaults, WriteThatFillsTheDiskHalfwayIsCutBack) {
    {
        ScopedFileOps use(failing);
        failing.failOn(Call::Write, 1, ENOSPC, 100); // 100 bytes land, then the disk is full
        EXPECT_EQ(commitOne().size(), 1u);
        EXPECT_EQ(failing.calls(Call::Write), 2);
        EXPECT_EQ(failing.calls(Call::Truncate), 1);
    }
    expectUnchanged();
}

TEST_F(StoreFaults, FailedFlushIsReportedAndTakenBack) {
    Notices told;
    {
        ScopedFileOps use(failing);
        failing.failOn(Call::Flush, 1, EIO);
        told = commitOne();
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].text, "Could not write the survey point: " + std::string(std::strerror(EIO)));
    expectUnchanged();

    // The next write lands where the failed one would have.
    ASSERT_TRUE(store.placeAccessPoint(1, 1));
    EXPECT_EQ(store.index().back().fileOffset, before.size());
    EXPECT_EQ(fileSize(), before.size() + 71);
}

TEST_F(StoreFaults, FailedFlushOfAPlacedApIsTakenBack) {
    {
        ScopedFileOps use(failing);
        failing.failOn(Call::Flush, 1, EIO);
        const StoreOutcome placed = store.placeAccessPoint(1, 1);
        EXPECT_FALSE(placed);
        EXPECT_EQ(placed.notices.size(), 1u);
    }
    expectUnchanged();
}

TEST_F(StoreFaults, RollbackThatFailsIsFinishedByTheNextWrite) {
    {
        ScopedFileOps use(failing);
        failing.failOn(Call::Write, 1, EIO, 50);
        failing.failOn(Call::Truncate, 1, EIO);
        commitOne();
    }
    EXPECT_EQ(fileSize(), before.size() + 50); // the partial bytes are still there
    EXPECT_EQ(store.locationCount(), 1);

    store.beginPoint(7, 7, "TEST");
    std::vector<ApRecord> aps = {ap(3, -55)};
    ASSERT_EQ(store.commitPoint(aps).stored, 1);
    EXPECT_EQ(fileSize(), before.size() + 71 + 41);
    ASSERT_TRUE(store.loadPoints());
    ASSERT_EQ(store.index().size(), 3u);
    EXPECT_EQ(store.index()[2].x, 7);
    EXPECT_EQ(store.index()[2].bestRssi, -55);
    EXPECT_FALSE(std::filesystem::exists(home.repaired())); // the store's own rollback
}

TEST_F(StoreFaults, FailedTruncateInDiscardKeepsShowingThePoints) {
    {
        ScopedFileOps use(failing);
        failing.failOn(Call::Truncate, 1, EIO);
        const StoreOutcome discarded = store.discardPoints();
        EXPECT_FALSE(discarded);
        EXPECT_EQ(discarded.notices.size(), 1u);
    }
    expectUnchanged();
}

TEST_F(StoreFaults, FailedDeleteChangesNothing) {
    ASSERT_EQ(store.findNearest(10, 10), KIND_SURVEY_POINT);
    const std::pair<Call, int> faults[] = {
        {Call::Write, 1}, {Call::Flush, 1}, {Call::Read, 2}}; // the first read is the section head
    for (const auto& [call, nth] : faults) {
        ScopedFileOps use(failing);
        failing.failOn(call, nth, EIO);
        const StoreOutcome deleted = store.deletePoint();
        EXPECT_FALSE(deleted);
        ASSERT_EQ(deleted.notices.size(), 1u);
        EXPECT_NE(deleted.notices[0].text, "Deleted.");
    }
    EXPECT_EQ(store.index()[0].kind, KIND_SURVEY_POINT);
    expectUnchanged();
}

TEST_F(StoreFaults, DeleteThatCannotBePutBackIsShownDeleted) {
    ASSERT_EQ(store.findNearest(10, 10), KIND_SURVEY_POINT);
    StoreOutcome deleted;
    {
        ScopedFileOps use(failing);
        failing.failOn(Call::Flush, 1, EIO); // the deletion is written but not flushed
        failing.failOn(Call::Write, 2, EIO); // and the record cannot be put back
        deleted = store.deletePoint();
    }
    EXPECT_FALSE(deleted);
    EXPECT_EQ(texts(deleted.notices), std::vector<std::string>{"Could not delete the point: " +
                                                               std::string(std::strerror(EIO))});
    // The file has the point deleted; the index and counters say the same.
    EXPECT_EQ(store.index()[0].kind, KIND_DELETED);
    EXPECT_EQ(store.locationCount(), 0);
    EXPECT_EQ(store.readingTotal(), 0);
    CSurveyStore fresh;
    fresh.adoptSite(path.string(), makeHeader());
    ASSERT_TRUE(fresh.loadPoints());
    EXPECT_EQ(fresh.index().size(), 1u);
    EXPECT_EQ(fresh.locationCount(), 0);
}

TEST_F(StoreFaults, RepairThatFailsIsFinishedBeforeTheNextPoint) {
    Bytes torn = before + pointBytes(60, 60, KIND_SURVEY_POINT, {reading(-45 * 256)}, 3);
    testkit::writeFileBytes(path, torn);
    {
        ScopedFileOps use(failing);
        failing.failOn(Call::Write, 2, EIO); // after the copy, the count cannot be rewritten
        const StoreOutcome loaded = store.loadPoints();
        EXPECT_TRUE(loaded);
        EXPECT_EQ(loaded.notices.size(), 1u);
    }
    EXPECT_EQ(store.index().size(), 3u);
    EXPECT_EQ(store.index()[2].readingCount, 1);

    store.beginPoint(70, 70, "TEST");
    EXPECT_EQ(store.commitPoint({}).stored, 0);
    ASSERT_TRUE(store.loadPoints());
    ASSERT_EQ(store.index().size(), 4u);
    EXPECT_EQ(store.index()[2].readingCount, 1);
    EXPECT_EQ(store.index()[3].x, 70);
    EXPECT_EQ(store.locationCount(), 3);
}

TEST_F(StoreFaults, ReadErrorWhileLoadingCutsNothing) {
    Bytes torn = before;
    torn.resize(torn.size() - 5); // a tail that would be repaired on a clean read
    testkit::writeFileBytes(path, torn);
    {
        ScopedFileOps use(failing);
        failing.failOn(Call::Read, 2, EIO);
        const StoreOutcome loaded = store.loadPoints();
        EXPECT_FALSE(loaded);
        EXPECT_EQ(loaded.notices.size(), 1u);
    }
    EXPECT_EQ(file(), torn);
}

TEST_F(StoreFaults, HeaderWriteFailureIsReported) {
    int fd = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    {
        ScopedFileOps use(failing);
        failing.failOn(Call::Flush, 1, EIO);
        const StoreOutcome cleared = store.clearHeaderFlags(fd);
        EXPECT_FALSE(cleared);
        EXPECT_EQ(cleared.notices.size(), 1u);
    }
    ::close(fd);
}

} // namespace
} // namespace walkmere
