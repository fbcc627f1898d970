#include "survey/BmpInfo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ByteOrder.h"

namespace walkmere {

namespace {

// The largest info header of the known versions (BITMAPV5HEADER).
constexpr uint32_t kLargestInfoSize = 124;
constexpr uint32_t kInfoHeaderSize = 40;

BmpCheck refuse(BmpCheck check, const char* why) {
    check.loadable = false;
    check.problem = why;
    return check;
}

// Core (12), info (40), the two extended info headers (52, 56), OS/2 2.x (64), V4 (108)
// and V5 (124).
bool knownInfoSize(uint32_t size) {
    switch (size) {
    case 12:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
        return true;
    default:
        return false;
    }
}

bool bitCountAllowed(const BmpInfo& info) {
    switch (info.bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
        return true;
    case 16:
    case 32:
        return info.infoSize != BmpInfo::kCoreInfoSize;
    default:
        return false;
    }
}

bool compressionAllowed(const BmpInfo& info) {
    switch (info.compression) {
    case BmpInfo::kBiRgb:
        return true;
    case BmpInfo::kBiRle8:
        return info.bitCount == 8 && !info.topDown();
    case BmpInfo::kBiRle4:
        return info.bitCount == 4 && !info.topDown();
    case BmpInfo::kBiBitfields:
        return info.bitCount == 16 || info.bitCount == 32;
    default:
        return false; // JPEG and PNG inside a bitmap file are not pictures a loader takes
    }
}

} // namespace

uint32_t BmpInfo::pixelHeight() const {
    int64_t h = height;
    return static_cast<uint32_t>(h < 0 ? -h : h);
}

uint64_t BmpInfo::rowStride() const {
    uint64_t bits = static_cast<uint64_t>(width < 0 ? 0 : width) * bitCount;
    return (bits + 31) / 32 * 4;
}

BmpCheck checkBmp(const uint8_t* data, size_t size, uint64_t totalSize) {
    BmpCheck check;
    if (size < BmpInfo::kFileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M')
        return refuse(check, "not a bitmap file");

    BmpInfo info;
    info.fileSize = readLe32(data + 2);
    info.pixelOffset = readLe32(data + 10);
    const uint8_t* ih = data + BmpInfo::kFileHeaderSize;
    info.infoSize = readLe32(ih);
    if (info.infoSize == BmpInfo::kCoreInfoSize) {
        if (size < BmpInfo::kFileHeaderSize + BmpInfo::kCoreInfoSize)
            return refuse(check, "bitmap header cut short");
        info.width = readLe16(ih + 4);
        info.height = readLe16(ih + 6);
        info.planes = readLe16(ih + 8);
        info.bitCount = readLe16(ih + 10);
    } else {
        if (size < BmpInfo::kFileHeaderSize + kInfoHeaderSize)
            return refuse(check, "bitmap header cut short");
        info.width = static_cast<int32_t>(readLe32(ih + 4));
        info.height = static_cast<int32_t>(readLe32(ih + 8));
        info.planes = readLe16(ih + 12);
        info.bitCount = readLe16(ih + 14);
        info.compression = readLe32(ih + 16);
    }
    check.info = info;

    if (!knownInfoSize(info.infoSize)) return refuse(check, "unknown bitmap header size");
    if (info.width <= 0 || info.height == 0 || info.height == INT32_MIN)
        return refuse(check, "bitmap has no pixels");
    if (info.planes != 1) return refuse(check, "bitmap plane count is not 1");
    if (!bitCountAllowed(info)) return refuse(check, "unsupported bits per pixel");
    if (!compressionAllowed(info)) return refuse(check, "unsupported bitmap compression");

    const uint64_t headersEnd = BmpInfo::kFileHeaderSize + uint64_t{info.infoSize};
    if (info.pixelOffset < headersEnd || info.pixelOffset > totalSize)
        return refuse(check, "pixel data offset outside the file");
    if (info.compression == BmpInfo::kBiRle8 || info.compression == BmpInfo::kBiRle4) {
        if (info.pixelOffset >= totalSize) return refuse(check, "pixel data missing");
    } else if (info.pixelOffset + info.rowStride() * info.pixelHeight() > totalSize) {
        return refuse(check, "pixel data cut short");
    }
    check.loadable = true;
    return check;
}

BmpExtent bmpExtent(const uint8_t* data, size_t size) {
    using Verdict = BmpExtent::Verdict;
    BmpExtent extent;
    const auto decided = [&extent](Verdict verdict, std::string problem) {
        extent.verdict = verdict;
        extent.problem = std::move(problem);
        return extent;
    };
    if (size >= 2 && (data[0] != 'B' || data[1] != 'M'))
        return decided(Verdict::Refused, "not a bitmap file");
    if (size < BmpInfo::kFileHeaderSize + 4) return extent;
    const uint32_t infoSize = readLe32(data + BmpInfo::kFileHeaderSize);
    if (size < BmpInfo::kFileHeaderSize +
                   (infoSize == BmpInfo::kCoreInfoSize ? BmpInfo::kCoreInfoSize : kInfoHeaderSize))
        return extent;

    // The headers alone are judged here; whether the pixels are all there is for the end.
    const BmpCheck check = checkBmp(data, size, UINT64_MAX);
    if (!check.loadable) return decided(Verdict::Refused, check.problem);
    const BmpInfo& info = *check.info;
    const uint64_t width = static_cast<uint64_t>(info.width);
    const uint64_t height = info.pixelHeight();
    if (width * height > kMaxPlanPixels)
        return decided(Verdict::TooLarge, std::to_string(width) + " x " + std::to_string(height) +
                                              " pixels, more than the limit of " +
                                              std::to_string(kMaxPlanPixels) + " pixels");
    const bool runLength =
        info.compression == BmpInfo::kBiRle8 || info.compression == BmpInfo::kBiRle4;
    extent.length = runLength
                        ? std::min<uint64_t>(info.fileSize,
                                             info.pixelOffset + 2 * width * height + 2 * height + 2)
                        : info.pixelOffset + info.rowStride() * height;
    if (extent.length > kMaxPlanFileBytes)
        return decided(Verdict::TooLarge, "its headers announce " + std::to_string(extent.length) +
                                              " bytes, more than a picture within the limit of " +
                                              std::to_string(kMaxPlanPixels) + " pixels takes");
    extent.verdict = Verdict::Bounded;
    return extent;
}

BmpCheck checkBmpFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return refuse(BmpCheck{}, std::strerror(errno));
    const BmpCheck check = checkBmpDescriptor(fd);
    ::close(fd);
    return check;
}

BmpCheck checkBmpDescriptor(int fd) {
    struct stat st {};
    uint8_t head[BmpInfo::kFileHeaderSize + kLargestInfoSize];
    size_t got = 0;
    bool failed = ::fstat(fd, &st) != 0;
    while (!failed && got < sizeof head) {
        ssize_t n = ::pread(fd, head + got, sizeof head - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    if (failed) return refuse(BmpCheck{}, std::strerror(errno));
    return checkBmp(head, got, static_cast<uint64_t>(st.st_size));
}

} // namespace walkmere
