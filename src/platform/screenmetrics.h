#pragma once

#include <QRect>

namespace velmora {

// Window sizes in the program's own terms are twips (1/1440 inch); Qt works in logical pixels.
double TwipsPerPixel();
int TwipsToPixels(double twips);
double PixelsToTwips(int pixels);
// A control's place and size as designed in twips, in pixels of this screen.
QRect TwipsRect(int left, int top, int width, int height);

} // namespace velmora
