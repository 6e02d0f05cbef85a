#pragma once

#include "services/actionresult.h"

class QWidget;

namespace velmora {

// The one way the windows tell what came of something the user asked for: nothing when there
// is nothing to say, a note when it was done, a warning when it was refused.
void ShowResult(QWidget *parent, const ActionResult &result);

// A window shown again in front, as it is.
void BringUp(QWidget *window);

} // namespace velmora
