#include "core/rowcolour.h"

#include "core/quotereply.h"

namespace velmora {

RowColour ColourForChange(const std::string &change)
{
    return IsFall(change) ? RowColour::Blue : RowColour::Red;
}

} // namespace velmora
