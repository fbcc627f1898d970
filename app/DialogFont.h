#pragma once

#include <QFont>

#include "siteview/Fonts.h"

namespace walkmere {

// The dialogs' "System" 8-point face. The map's own font is drawn without antialiasing to
// keep its pixel layout; text in dialogs is smoothed as on any desktop.
inline QFont dialogFont() {
    QFont f = mapFont(8);
    f.setStyleStrategy(QFont::PreferDefault);
    return f;
}

} // namespace walkmere
