#pragma once

#include <cstdint>
#include <span>

#include "common/command/command_handler.h"

struct tagMessage;

// This robot's id (1..10) and the robots in line on its conveyor, from the
// multi-robot configuration.
extern int gRobotId;
extern int gRobotInLine;

// Sets up the rings, builds the slide-rail link and the multi-robot bus
// (reading its configuration); returns the configuration read's result.
int CommandInit();

// Takes in every pending command packet and answers each with one reply.
void ClassifyAllCmd();
// Runs the handler of the message's id, or leaves the message as the echo.
std::uint32_t ExecuteCmd(tagMessage* msg);

// The same over a given table.
void ClassifyCommands(std::span<const CommandRow> table);
std::uint32_t DispatchCommand(std::span<const CommandRow> table, tagMessage* msg);
