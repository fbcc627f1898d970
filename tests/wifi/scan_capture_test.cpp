#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/OwnedFd.h"
#include "testkit/DumpBuilder.h"
#include "testkit/TempDir.h"
#include "wifi/ScanCapture.h"

namespace walkmere {
namespace {

using wifitest::BssFields;
using wifitest::Bytes;

// Dumps of 1, 0 and 2 BSSs, one after another.
struct Capture {
    Bytes first, second, third, all;
    Capture() {
        BssFields a, b;
        b.bssid = wifitest::bssid(2);
        first = wifitest::buildDump({a}, wifitest::kFamily, 1);
        second = wifitest::buildDump({}, wifitest::kFamily, 2);
        third = wifitest::buildDump({a, b}, wifitest::kFamily, 3);
        for (const Bytes* d : {&first, &second, &third})
            wifitest::append(all, *d);
    }
};

void setLength(Bytes& b, size_t at, uint32_t length) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(length >> (8 * i));
}

TEST(WifiCapture, SplitsIntoItsDumps) {
    const Capture c;
    std::vector<ScanDump> dumps;
    std::string error;
    ASSERT_TRUE(parseScanCapture(c.all, dumps, error)) << error;
    ASSERT_EQ(dumps.size(), 3u);
    EXPECT_EQ(dumps[0].raw, c.first);
    EXPECT_EQ(dumps[1].raw, c.second);
    EXPECT_EQ(dumps[2].raw, c.third);
    EXPECT_EQ(dumps[0].bss.size(), 1u);
    EXPECT_EQ(dumps[1].bss.size(), 0u);
    EXPECT_EQ(dumps[2].bss.size(), 2u);
}

TEST(WifiCapture, ADamagedFileIsRefusedAtItsByte) {
    const Capture c;
    const size_t thirdAt = c.first.size() + c.second.size();
    const size_t end = c.all.size();
    const size_t lastDone = end - 20;

    Bytes cut = c.all;
    cut.resize(end - 4);
    Bytes tooLong = c.all;
    setLength(tooLong, thirdAt, 9000);
    Bytes tooShort = c.all;
    setLength(tooShort, thirdAt, 8);
    Bytes noDone = c.all;
    noDone.resize(lastDone);
    Bytes trailing = c.all;
    trailing.insert(trailing.end(), {1, 2, 3, 4, 5});
    Bytes error = c.first;
    wifitest::append(error, wifitest::errorMessage(-EBUSY));
    wifitest::append(error, c.second);

    const struct {
        const char* what;
        Bytes bytes;
        std::string error;
    } cases[] = {
        {"nothing", {}, "damaged scan capture at byte 0: the file is empty"},
        {"cut off", cut,
         "damaged scan capture at byte " + std::to_string(lastDone) +
             ": message length 20 runs past the end of the file (16 bytes left)"},
        {"length too long", tooLong,
         "damaged scan capture at byte " + std::to_string(thirdAt) +
             ": message length 9000 runs past the end of the file (" +
             std::to_string(end - thirdAt) + " bytes left)"},
        {"length too short", tooShort,
         "damaged scan capture at byte " + std::to_string(thirdAt) +
             ": message length 8 is shorter than its header"},
        {"no NLMSG_DONE", noDone,
         "damaged scan capture at byte " + std::to_string(lastDone) +
             ": the file ends inside the dump that starts at byte " + std::to_string(thirdAt) +
             ", without its NLMSG_DONE"},
        {"trailing bytes", trailing,
         "damaged scan capture at byte " + std::to_string(end) +
             ": 5 bytes left, too few for a message header (16 bytes)"},
        {"kernel error", error,
         "damaged scan capture at byte " + std::to_string(c.first.size()) +
             ": an error message (-16: Device or resource busy) in the scan results"},
    };
    for (const auto& k : cases) {
        std::vector<ScanDump> dumps;
        std::string message;
        EXPECT_FALSE(parseScanCapture(k.bytes, dumps, message)) << k.what;
        EXPECT_EQ(message, k.error) << k.what;
    }
}

TEST(WifiCapture, AppendedDumpsLoadBackAndBadFilesAreNamed) {
    const Capture c;
    testkit::TempDir dir;
    const std::string path = dir.file("walk.nlscan").string();
    {
        OwnedFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644));
        std::string error;
        for (const Bytes* d : {&c.first, &c.third})
            ASSERT_TRUE(appendToCapture(fd.get(), *d, error)) << error;
    }
    std::vector<ScanDump> dumps;
    std::string error;
    ASSERT_TRUE(loadScanCapture(path, dumps, error)) << error;
    ASSERT_EQ(dumps.size(), 2u);
    EXPECT_EQ(dumps[1].bss.size(), 2u);

    const std::string fifo = dir.file("fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string missing = dir.file("missing.nlscan").string();
    const std::string damaged = dir.file("damaged.nlscan").string();
    testkit::writeFileBytes(damaged, Bytes(c.first.begin(), c.first.end() - 1));
    const struct {
        std::string path;
        std::string error;
    } cases[] = {
        {missing, "cannot open the scan capture " + missing + ": No such file or directory"},
        {fifo, "cannot open the scan capture " + fifo + ": not a regular file (a FIFO)"},
        {damaged, damaged + ": damaged scan capture at byte " +
                      std::to_string(c.first.size() - 20) + ": message length 20 runs past"},
    };
    for (const auto& k : cases) {
        EXPECT_FALSE(loadScanCapture(k.path, dumps, error)) << k.path;
        EXPECT_EQ(error.substr(0, k.error.size()), k.error);
    }
}

} // namespace
} // namespace walkmere
