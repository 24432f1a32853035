#pragma once

// Payload and dynamic-model data: the basic dynamic parameters (202), the
// payload mass (204), the load (208) and the full load (253); 207 has no
// effect. A read replies the stored record; a write replies length 0 and
// changes nothing when it is cut short or carries a value that is not
// finite. Writes of 208 and 253 sent queued leave a placeholder once applied.

#include "common/command/command_handler.h"

CommandHandlerFn OnBasicDynamicParams;  // 202
CommandHandlerFn OnLoadParams;          // 204
CommandHandlerFn OnLoadSwitch;          // 207
CommandHandlerFn OnLoadSet;             // 208
CommandHandlerFn OnLoadFullParamsSet;   // 253
