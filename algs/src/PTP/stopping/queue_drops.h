#pragma once

// Drops all queued work after an alarm: the motion finished, the pause and
// queued execution off, both rings emptied (their index totals continue),
// the queued-motion index 0.
void AlarmStopDeal();

// Drops every conveyor object and the tracking: the 30 object rings emptied,
// the next objects taken, the multi-robot bus cache cleared, no time
// compensation, the first stop-cleared flag 0, the handed-over object and the
// three encoder channels inactive, and the tracked conveyor's trigger kind 2.
void ConveyorStopDeal();
