#include "mainwin/watchrow.h"

namespace velmora {

RowColour ColourForChange(const std::string &change)
{
    return !change.empty() && change.front() == '-' ? RowColour::Blue : RowColour::Red;
}

} // namespace velmora
