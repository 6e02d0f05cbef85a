#pragma once

#include <QFont>

namespace velmora {

// The type face the dialogs were designed with ("宋体", normal weight). Where it is not
// installed, fontconfig picks the nearest face that has the Chinese characters.
QFont SongTiFont(double pointSize);

// The point size of every control that keeps the default font: the size the windows were laid
// out for, so captions fit the designed widths.
inline constexpr double kDefaultPointSize = 9;

} // namespace velmora
