#pragma once

#include <cstddef>
#include <cstdint>

// Records of the path layer: one queued move as the path planner reads it and
// the path record built from it. Both are shared by the blending, the look-ahead
// and the dynamic speed optimisation, and the kernel zeroes path records by their
// size, so the layouts are fixed.

// Path kinds, both of MotionCmd and of PathInfo.
inline constexpr std::int32_t kPathNone = 0;
inline constexpr std::int32_t kPathJoint = 1;
inline constexpr std::int32_t kPathLine = 2;
inline constexpr std::int32_t kPathArc = 3;

// One move: points are x, y, z (mm), r (deg) for Cartesian kinds, joints 1-4
// for the joint kind; the last three values of each point are not read here.
struct MotionCmd {
  double start[7];
  double middle[7];  // arc only
  double end[7];
  double jointVel[4];
  double jointAcc[4];
  double jointDec[4];
  double jointJerk[4];
  double unused0[4];
  double linear[4];    // velocity, acceleration, deceleration, jerk of the path length
  double rotation[4];  // the same for r, in degrees
  double unused1;
  std::int32_t kind;
};
static_assert(offsetof(MotionCmd, middle) == 56);
static_assert(offsetof(MotionCmd, end) == 112);
static_assert(offsetof(MotionCmd, jointVel) == 168);
static_assert(offsetof(MotionCmd, jointJerk) == 264);
static_assert(offsetof(MotionCmd, linear) == 328);
static_assert(offsetof(MotionCmd, rotation) == 360);
static_assert(offsetof(MotionCmd, kind) == 400);
static_assert(sizeof(MotionCmd) == 408);

// Slots of PathInfo::para by kind.
namespace path_slot {
// Joint move.
inline constexpr int kJointStart = 0;   // 0..3
inline constexpr int kJointOffset = 4;  // parameter offset, written by callers
inline constexpr int kJointChange = 6;  // 6..9
// Line.
inline constexpr int kLineStart = 0;  // x, y, z in 0..2
inline constexpr int kLineBlendIn = 3;
inline constexpr int kLineBlendOut = 4;
inline constexpr int kLineDir = 5;  // unit direction in 5..7
inline constexpr int kLineLength = 8;
inline constexpr int kLineStartR = 9;
inline constexpr int kLineEndR = 13;
inline constexpr int kLineDeltaR = 20;
inline constexpr int kLineBlendR = 21;       // blending copies: r where the blend piece starts
inline constexpr int kLineBlendInDR = 23;    // blending's second copy: r change over its piece
inline constexpr int kLineBlendOutDR = 24;   // blending's first copy: r change over its piece
// Arc.
inline constexpr int kArcBlendIn = 0;   // angle, rad
inline constexpr int kArcBlendOut = 1;  // angle, rad
inline constexpr int kArcCentre = 2;    // 2..4
inline constexpr int kArcRadius = 5;
inline constexpr int kArcU = 6;   // 6..8, from the centre to the start point
inline constexpr int kArcW = 9;   // 9..11, plane normal
inline constexpr int kArcV = 12;  // 12..14, W x U
inline constexpr int kArcLength = 15;
inline constexpr int kArcStartR = 16;
inline constexpr int kArcEndR = 20;
inline constexpr int kArcDeltaR = 27;
inline constexpr int kArcBlendR = 28;
inline constexpr int kArcBlendInDR = 30;
inline constexpr int kArcBlendOutDR = 31;
}  // namespace path_slot

// One path over the normalised parameter u in [0, 1]. The scales are limits of
// du/dt and its derivatives (1/s, 1/s², 1/s², 1/s³).
struct PathInfo {
  double para[32];
  std::int32_t kind;
  double velScale;
  double accScale;
  double decScale;
  double jerkScale;
  double extent;      // 1.0 with a positive extent under its limits, 0.0 empty
  double startSpeed;  // mm/s at the start of the path's own part
  double endSpeed;    // mm/s at its end
  std::uint8_t blended;  // was the first path of a blend computation
};
static_assert(offsetof(PathInfo, kind) == 256);
static_assert(offsetof(PathInfo, velScale) == 264);
static_assert(offsetof(PathInfo, jerkScale) == 288);
static_assert(offsetof(PathInfo, extent) == 296);
static_assert(offsetof(PathInfo, startSpeed) == 304);
static_assert(offsetof(PathInfo, endSpeed) == 312);
static_assert(offsetof(PathInfo, blended) == 320);
static_assert(sizeof(PathInfo) == 328);

// Cartesian pose with Euler angles, for the quaternion utilities: mm and rad.
struct CartPos {
  double x;
  double y;
  double z;
  double rx;
  double ry;
  double rz;
};
static_assert(sizeof(CartPos) == 48);
