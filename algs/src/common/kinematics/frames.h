#pragma once

#include "common/kinematics/kinematics_constants.h"

// Frame conversions of the arm's poses. Every output may be its input.

// Pose in the user frame to the base frame, and back. Both stamp stages 5 and
// 6 of the cycle and report a stage end beyond kStageReportUs.
void CalCordToBase(const WCSPosition* in, WCSPosition* out, const tagLocalParams* frame);
void CalCordToLocal(const WCSPosition* in, WCSPosition* out, const tagLocalParams* frame);

// Flange pose to tool-tip pose in place, and back. The tool's angle is the
// direction of its (x, y) offset; its own r is not used.
void CalcT0toTool(tagToolParams tool, WCSPosition* pose);
void CalcTooltoT0(tagToolParams tool, const WCSPosition* in, WCSPosition* out);

// Poses against an external tool centre point fixed in space, in place: the
// translation of E·P⁻¹ (to base) or P⁻¹·E (to tool); r becomes ecp r - pose r.
void CalECPToBase(const tagToolParams* ecp, WCSPosition* pose);
void CalECPToTool(const tagToolParams* ecp, WCSPosition* pose);

// Pose given in the 4 x 4 frame F becomes a base pose, in place (logged).
void CalObjToBase(WCSPosition* pose, const double (*F)[4]);

// Inverse of a homogeneous transform: Rᵀ and -Rᵀp.
void CalcInvMat4D(const double (*in)[4], double (*out)[4]);
