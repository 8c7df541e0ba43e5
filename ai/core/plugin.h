// The plug-in's four entry points as the game calls them.
#pragma once

namespace denmark {

void InitAI();              // set-up of the computer player for a game
void ProcessAI();           // one AI tick
void ProcessLandAI();       // kept for the game's sake: does nothing
void ProcessMiddleSeaAI();  // the sea strategy; ProcessAI runs it for land type 1

}  // namespace denmark
