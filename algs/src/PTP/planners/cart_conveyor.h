#pragma once

#include "PTP/planners/cart_command.h"
#include "common/kinematics/pose_records.h"

// Lines and arcs on a conveyor object: planned in the object's frame, which
// the tracker moves with the conveyor during the run.

// Sets up the tracker for the object of gOutObj on the conveyor of gConveyor0.
void TrackConfig();

// Origin of a conveyor move in the object's frame. For a newly handed-over
// object the start passes the elbow check (22) and the soft limits (18), the
// tracker is set up and the object takes the command's arm orientation;
// otherwise the origin is where the last move left gPreDealPos. The arm must
// equal the object's (22). False after raising the alarm. base receives the
// start's base pose for the log.
bool ConveyorOrigin(const CartCommand& c, WCSPosition* origin, WCSPosition* base);

// Encoder channel of the tracked conveyor.
int TrackedChannel();

// One cycle of a conveyor run: the pose in the object's frame is stored as
// the object pose and converted into the base frame of the moving frame.
void TrackPose(WCSPosition* pose);

// The set point's j4 taken to within 180 degrees of the actual j4.
double UnwrapJ4(double j4);
