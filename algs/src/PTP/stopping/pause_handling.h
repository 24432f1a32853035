#pragma once

#include "common/kernel/pre_deal_data.h"

// A pending pause (gPauseCmdFlag) for the entry `cur` whose cycle has just
// run: a smooth stop for joint-like moves, a stop on the path for lines,
// arcs and circles, or, near the end of a move that may finish, the request
// dropped. A command pause waits for a blend to end; a collision pause acts
// at once.
void HandlePause(const PreDealData& cur);
