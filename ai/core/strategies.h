// The decision routines that the tick dispatches to, one per group of land types.
#pragma once

namespace denmark {

void LandAI();                 // land types 2, 3 and 4
void InlandAI(bool rich);      // land types 0 and 5; rich when start resources are 3
// The sea strategy (land type 1) is the export ProcessMiddleSeaAI (plugin.h).

}  // namespace denmark
