#include "app/Snapshot.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include "platform/Prompter.h"
#include "platform/Sound.h"
#include "ui/HandheldSize.h"

namespace walkmere {

namespace {

constexpr const char* kCounterFileName = "kvimgcnt.cnt";
constexpr const char* kSnapshotFilter = "Snapshot JPEG (*.jpg)|*.jpg|All Files (*.*)|*.*||";

// atoi's reading of a line, without its overflow: blanks, an optional sign, digits; a value
// past the int range is held at its end.
int leadingNumber(const char* text) {
    errno = 0;
    long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

std::filesystem::path snapshotCounterPath() {
    return dataFolder() / kCounterFileName;
}

int readSnapshotCounter(const std::filesystem::path& file) {
    std::FILE* in = std::fopen(file.c_str(), "r");
    if (!in) return 1;
    char line[80]; // the first line, at most 79 characters
    const char* got = std::fgets(line, sizeof line, in);
    std::fclose(in);
    return got ? leadingNumber(line) : 1;
}

bool writeSnapshotCounter(const std::filesystem::path& file, int value) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    std::FILE* out = std::fopen(file.c_str(), "w");
    if (!out) return false;
    bool written = std::fprintf(out, "%d\n", value) > 0;
    return (std::fclose(out) == 0) && written;
}

int firstFreeSnapshotNumber(const std::filesystem::path& folder, int counter) {
    std::error_code ignored;
    char name[32];
    for (; counter < INT_MAX; ++counter) {
        std::snprintf(name, sizeof name, "kv%06d.jpg", counter);
        if (!std::filesystem::exists(std::filesystem::symlink_status(folder / name, ignored)))
            break;
    }
    return counter;
}

RgbImage captureView(QWidget& view, bool deviceResolution) {
    RgbImage capture;
    QImage image = view.grab().toImage().convertToFormat(QImage::Format_RGB888);
    // On a scaled screen the grab has device pixels; the handheld's snapshot is in the view's.
    if (!deviceResolution && image.size() != view.size() && !view.size().isEmpty())
        image = image.scaled(view.size()).convertToFormat(QImage::Format_RGB888);
    if (image.isNull()) return capture;

    // Format_RGB888 stores red, green, blue in that byte order already: no swap needed.
    capture = RgbImage(image.width(), image.height());
    const std::size_t rowBytes = static_cast<std::size_t>(capture.width) * 3;
    for (int y = 0; y < capture.height; ++y)
        std::memcpy(capture.at(0, y), image.constScanLine(y), rowBytes);
    return capture;
}

void TakeSnapshot(QWidget* activeView, IPrompter& prompter, ISoundPlayer& sound) {
    sound.PlayWave("CAMERA");

    // The picture is taken before the dialog covers the screen. At the handheld's size it is
    // the handheld's 240 x 265; a larger view is taken whole, as the screen shows it.
    const bool handheld = !activeView || (activeView->width() <= kHandheldViewArea.width() &&
                                          activeView->height() <= kHandheldViewArea.height());
    const RgbImage capture = activeView ? captureView(*activeView, !handheld) : RgbImage{};
    const int width = handheld ? kSnapshotWidth : capture.width;
    const int height = handheld ? kSnapshotHeight : capture.height;

    std::filesystem::path counterFile = snapshotCounterPath();
    // The save dialog opens in the data folder, beside the counter; when that folder cannot
    // be made, in the current folder. The proposed name is one not taken there.
    std::error_code noFolder;
    std::filesystem::path folder = dataFolder();
    std::filesystem::create_directories(folder, noFolder);
    if (!std::filesystem::is_directory(folder, noFolder))
        folder = std::filesystem::current_path(noFolder);
    int counter = readSnapshotCounter(counterFile);
    if (!noFolder) counter = firstFreeSnapshotNumber(folder, counter);
    char proposed[32];
    std::snprintf(proposed, sizeof proposed, "kv%06d.jpg", counter);

    FileDialogRequest request;
    request.filter = kSnapshotFilter;
    request.defaultExtension = ".JPG";
    request.initialName = proposed;
    if (!noFolder) request.initialFolder = folder.string();
    request.pathMustExist = true;
    request.promptOverwrite = false;
    std::optional<std::string> chosen = prompter.askSaveFile(request);
    if (!chosen) return;

    prompter.beginWaitCursor();
    if (!WriteJpegFile(*chosen, width, height, kSnapshotQuality, capture))
        prompter.showMessage(snapshotError());
    // The number moves on whether or not the picture was written; a counter that can't be
    // written is left as it was, silently.
    writeSnapshotCounter(counterFile, counter == INT_MAX ? counter : counter + 1);
    prompter.endWaitCursor();
}

} // namespace walkmere
