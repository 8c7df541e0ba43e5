// Decision routines. They place no requests yet: the land, sea and inland strategies are
// still to come, and until then a tick only sends the mine rules and formation leaders.
#include "strategies.h"

#include "plugin.h"

namespace denmark {

void LandAI() {}

void InlandAI(bool /*rich*/) {}

void ProcessMiddleSeaAI() {}

}  // namespace denmark
