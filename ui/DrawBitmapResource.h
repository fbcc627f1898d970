#pragma once

#include <QImage>

class QPainter;

namespace walkmere {

// The program's bitmap resource `id` (":/res/bitmap<id>.bmp"), or a null image when the
// program carries no such resource. Loaded once and kept; only the UI thread draws.
QImage loadBitmapResource(int id);

// Stretches the whole bitmap resource `id` onto (x, y, width, height) with a plain copy;
// draws nothing when the resource is missing.
void drawBitmapResource(QPainter& painter, int id, int x, int y, int width, int height);

} // namespace walkmere
