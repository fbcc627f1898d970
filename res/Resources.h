#pragma once

#include <QIcon>
#include <QString>

namespace walkmere {

// The program's pictures and sounds live in the Qt resource file res/resources.qrc, made by
// tools/res/make_resources.py. They are addressed by the numeric ids and names the program
// uses: bitmap 128 (toolbar), 138 (survey cursor), 141 (scan panel), 144 (start-up picture),
// icon 128, and the sounds "CAMERA", "PING" and "REDALERT". The user guide's text, res/help.txt,
// is written by hand and compiled in through res/texts.qrc.

// Links the compiled-in resources into the program. The resources sit in a static library,
// so the program and every test that reads them call this once before the first use; later
// calls do nothing.
void walkmereInitResources();

// ":/res/bitmap<id>.bmp".
QString bitmapResourcePath(int id);

// ":/res/sounds/<NAME>.wav" with the name upper-cased, so "ping" finds PING. Names other than
// letters, digits and '_' give an empty string.
QString soundResourcePath(const QString& name);

// ":/res/icon128_<size>.png" for the sizes the program ships (16, 32, 48, 64); empty otherwise.
QString iconResourcePath(int size);

// ":/res/help.txt": the user guide shown by the Help dialog, UTF-8 text with one display line
// per line.
QString helpTextResourcePath();

// Icon 128 with all its sizes.
QIcon programIcon();

// Number of images on the toolbar strip (bitmap 128), left to right: Open a Site, Save a Site,
// Take JPEG Snapshot, Zoom in, Zoom out, Add/remove an access point, Options, Help, About.
constexpr int kToolbarImageCount = 9;

// Image `index` of the toolbar strip at 16 x 16 and, for dense screens, 32 x 32, with the
// strip's grey background made transparent. A null icon for an index outside the strip.
QIcon toolbarIcon(int index);

} // namespace walkmere
