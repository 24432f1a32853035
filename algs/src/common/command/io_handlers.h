#pragma once

// Digital and analog input/output commands. Digital points are bytes of the
// kernel's images gPhyDIs and gPhyDOs, point n at byte n - 1 (1..1000); a
// point outside that range touches no byte and queues nothing. Analog and
// extended outputs are only packed into the queue.

#include "common/command/command_handler.h"

CommandHandlerFn OnIOMultiplexing;  // 130
CommandHandlerFn OnIODO;            // 131
CommandHandlerFn OnIODAC;           // 132
CommandHandlerFn OnIODI;            // 133
CommandHandlerFn OnIOADC;           // 134
CommandHandlerFn OnIODOEx;          // 136
CommandHandlerFn OnIODIEx;          // 137
CommandHandlerFn OnIOADCEx;         // 138
CommandHandlerFn OnIODACEx;         // 139
CommandHandlerFn OnMulIODO;         // 144
