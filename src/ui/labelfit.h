#pragma once

class QLabel;

namespace velmora {

// Whether a fixed-size label shows its whole text in its rectangle with the font it has (all
// lines of a wrapped one).
bool TextFits(const QLabel *label);

// Keeps the designed size when the text fits; else takes the largest smaller size that does,
// in quarter points. The faces we ship are taller and wider than the face the windows were laid
// out for, and a label must never lose the end of its text. Nothing is moved or resized.
void FitLabelText(QLabel *label);

} // namespace velmora
