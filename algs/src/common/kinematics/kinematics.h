#pragma once

#include "common/kinematics/kinematics_constants.h"

// Forward and inverse solutions of the SCARA arm, with the mechanism lengths
// of gScaraMechPara (L1, L2, flange z offset at j3 = 0) and the soft limits of
// gSoftLimitPara.

// Flange pose in the base frame; r = j1 + j2 + j4, not wrapped.
void W7ForwardCal(const JointTheta* joints, WCSPosition* pose);

// Joints for a flange pose in the base frame. armOrientation true takes the
// solution with j2 >= 0. Returns kKinOk, or kKinOutOfReach with the joints
// untouched, or kKinSingular / kKinSoftLimit with the joints written; mode is
// one of kCheckAllJoints, kCheckSingularity, kCheckWithoutJ4.
int W7InverseCal(const WCSPosition* pose, bool armOrientation, JointTheta* joints, int mode);

// Tool-tip pose in the current user frame with the current tool.
void ForwardCal(const JointTheta* joints, WCSPosition* pose);
// The same with the given tool and user frame.
void ForwardCal(JointTheta joints, WCSPosition* pose, tagToolParams tool, tagLocalParams user);
// Tool-tip pose in the base frame from the joint part of a kernel pose.
void ForwardCalBase(const tagGPose* gpose, WCSPosition* pose, const tagToolParams* tool);

// Joints for a tool-tip pose given in a user frame, or in the base frame.
int InverseCal(const WCSPosition* pose, bool armOrientation, JointTheta* joints, int mode, const tagToolParams* tool,
               const tagLocalParams* user);
int InverseCalBase(const WCSPosition* pose, bool armOrientation, JointTheta* joints, int mode,
                   const tagToolParams* tool);

// Reachability of a base-frame tool-tip pose: 0 with the joints written, or 1
// after raising the alarm whose index is the inverse solution's code.
int PointCheck(const WCSPosition* pose, JointTheta* joints, bool armOrientation, int mode, const tagToolParams* tool);

// Cartesian speed of the tool tip (mm/s) at the given joints for joint speeds
// q1, q2, q4 in degrees/s and q3 in mm/s.
double JacobiForwardCal(const JointTheta* joints, const double* jointSpeeds, const tagToolParams* tool);
// The same at the kernel's current joints with the current tool.
double JacobiForwardCal(const double* jointSpeeds);
