#pragma once

// Conveyor tracking settings: the three conveyor records, synchronisation on
// and off, the encoder positions, the point offset and the time compensation.
// They only set and report data; the tracking runs in the control cycle.

#include "common/command/command_handler.h"

CommandHandlerFn OnSetConveyorParams;       // 14
CommandHandlerFn OnSynCnv;                  // 16
CommandHandlerFn OnStopSynCnv;              // 17
CommandHandlerFn OnGetEncoder;              // 18
CommandHandlerFn OnSetCnvPointOffset;       // 19
CommandHandlerFn OnSetCnvTimeCompensation;  // 23
