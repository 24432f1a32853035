#pragma once

#include "common/protocol/robot_param_block.h"
#include "json/json_project_reader.h"

// Fills the motion kernel's parameter block from the loaded project, group by
// group, printing each group's lines.
void fillParamBlock(JsonProjectReader& reader, RobotParamBlock& block);
