#pragma once

// The dynamics step of the control cycle, called once per cycle by the
// profile stage after the servo feedback has been read. It refreshes the
// joint state of gDynamicInfo from gServoFeedBack and, with full set, records
// identification samples, computes the hand-guiding torques and runs the
// collision observer, flagging, pausing and logging a collision.
void Dynamics(bool full);

// True once the drives have been enabled for more than delay seconds without
// interruption; latched until the drives drop.
bool IsFullyEnable(double delay);
