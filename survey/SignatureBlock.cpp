#include "survey/SignatureBlock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "survey/FileOps.h"
#include "survey/SurveyStore.h"

namespace walkmere {

using namespace signature;

namespace {

// Pixel column x's bit in its byte.
uint8_t columnBit(int x) {
    return static_cast<uint8_t>(0x80u >> (x % 8));
}

} // namespace

std::array<uint8_t, kBlockSize> buildSignatureBlock(const BlankPixelTest& isBlankPixel) {
    std::array<uint8_t, kBlockSize> block{};
    for (int y = 0; y < kRows; ++y) {
        uint8_t* row = block.data() + y * kRowBytes;
        if (y >= kRecordedRows) {
            std::memset(row, 0xFF, kRowBytes);
            continue;
        }
        // The row starts all ink; byte 25 stays 0.
        for (int x = 0; x < kPadWidth; ++x) {
            if (isBlankPixel(x, y)) row[x / 8] |= columnBit(x);
        }
    }
    return block;
}

std::optional<bool> signaturePixelIsBlank(std::span<const uint8_t> block, int x, int y) {
    const size_t rowStart = static_cast<size_t>(y) * kRowBytes;
    if (rowStart + kRowBytes > block.size()) return std::nullopt;
    return (block[rowStart + static_cast<size_t>(x / 8)] & columnBit(x)) != 0;
}

StoreOutcome writeSignature(CSurveyStore& store, const BlankPixelTest& isBlankPixel) {
    const auto block = buildSignatureBlock(isBlankPixel);
    if (StoreOutcome opened = store.openSiteFile(); !opened) return opened;

    // The open flow refuses files whose block reaches into the header or the points, but
    // the header copy is checked again: a misplaced block would overwrite survey data.
    const SiteHeader& header = store.header();
    const uint64_t offset = header.signatureOffset();
    const uint64_t headerEnd = std::max<uint64_t>(header.headerLength(), SiteHeader::kMinLength);
    if (offset < headerEnd || offset + kBlockSize > header.pointsOffset()) {
        store.closeSiteFile();
        return {false,
                {warningNotice("The signature block of " + store.sitePath() +
                               " overlaps other data; the signature was not written.")}};
    }

    // The previous signature is kept so that a write that fails part-way can put it back
    // rather than leave half of each in the file.
    const int fd = store.siteFileDescriptor();
    std::array<uint8_t, kBlockSize> previous{};
    const bool havePrevious =
        readUpTo(fd, previous.data(), previous.size(), offset) == static_cast<ssize_t>(kBlockSize);
    int error = writeAllAt(fd, block.data(), block.size(), offset);
    if (error == 0 && fileOps().fdatasync(fd) != 0) error = errno;
    if (error != 0 && havePrevious && writeAllAt(fd, previous.data(), previous.size(), offset) == 0)
        fileOps().fdatasync(fd);
    store.closeSiteFile();
    if (error != 0)
        return {false,
                {warningNotice("Could not write the signature into " + store.sitePath() + ": " +
                               std::strerror(error))}};
    return {true, {}};
}

bool SignatureImage::isBlankPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= kPadWidth || y >= kPadHeight) return true;
    return !ink[static_cast<size_t>(y * kPadWidth + x)];
}

void SignatureImage::setInk(int x, int y, bool isInk) {
    if (x < 0 || y < 0 || x >= kPadWidth || y >= kPadHeight) return;
    ink[static_cast<size_t>(y * kPadWidth + x)] = isInk;
}

void SignatureImage::capture(const BlankPixelTest& isBlankPixel) {
    for (int y = 0; y < kPadHeight; ++y)
        for (int x = 0; x < kPadWidth; ++x)
            setInk(x, y, !isBlankPixel(x, y));
}

} // namespace walkmere
