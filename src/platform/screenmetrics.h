#pragma once

namespace velmora {

// Window sizes in the program's own terms are twips (1/1440 inch); Qt works in logical pixels.
double TwipsPerPixel();
int TwipsToPixels(double twips);
double PixelsToTwips(int pixels);

} // namespace velmora
