#pragma once

#include <filesystem>

#include "image/JpegWriter.h"
#include "platform/DataFolder.h"

class QWidget;

namespace walkmere {

class IPrompter;
class ISoundPlayer;

// Size of the snapshot JPEG: the handheld's view area.
inline constexpr int kSnapshotWidth = 240;
inline constexpr int kSnapshotHeight = 265;
inline constexpr int kSnapshotQuality = 100;

// The file that keeps the running number of the snapshots, kvimgcnt.cnt in the data folder.
std::filesystem::path snapshotCounterPath();

// The number in the counter file's first line, read as atoi does; 1 when the file is missing,
// unreadable or empty.
int readSnapshotCounter(const std::filesystem::path& file);
// Replaces the counter file with "<value>\n", creating the data folder. False when it can't.
bool writeSnapshotCounter(const std::filesystem::path& file, int value);

// The number to propose: `counter`, or the first after it whose kv%06d.jpg does not exist
// in `folder` yet, so that a counter that could not be moved on (its file cannot be
// written) never proposes a picture already taken.
int firstFreeSnapshotNumber(const std::filesystem::path& folder, int counter);

// The view's pixels: of the view's size in its own pixels, or, with deviceResolution, of
// every device pixel the screen shows of it.
RgbImage captureView(QWidget& view, bool deviceResolution = false);

// The snapshot command: camera sound, capture of the active view, save dialog with the next
// proposed name, the JPEG, and the counter moved on by one once the dialog was confirmed.
void TakeSnapshot(QWidget* activeView, IPrompter& prompter, ISoundPlayer& sound);

} // namespace walkmere
