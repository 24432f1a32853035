#pragma once

// Pausing queued execution, shared by the pause command (241) and the
// dynamics stage's collision handling.

// The tracked conveyor lets queued execution pause: its trigger kind (the
// third byte of gConveyor0) is set and no encoder channel is in use.
// Otherwise the pause command and the stop commands run the conveyor stop.
bool ConveyorAllowsPause();

// The ordinary pause: a motion under way is marked paused (gPauseCmdFlag;
// the profile stage stops it), an entry that is not a motion is finished,
// and queued execution is switched off. The parallel outputs still due on a
// paused point-to-point entry are rebased onto the rest of the path. Never
// touches the conveyor records. Returns true when queued execution was not
// running, so nothing was done.
bool QueuedCmdPause();
