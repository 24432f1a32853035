#pragma once

#include <cstddef>
#include <string>

#include "zelor_export.h"

// Process-wide parameter records filled by the settings reader. The motion
// library resolves the three m_st_* records from libutils in the process that
// loads it and reads them in its cycle without a lock (each field is one
// aligned 32-bit store).

struct st_collisionParams {
  int level;            // sensitivity level 1..5 (0: detection off)
  float torDiff[6][5];  // [joint 1..6][level 1..5] torque-difference threshold
};
static_assert(sizeof(st_collisionParams) == 124);
static_assert(offsetof(st_collisionParams, torDiff) == 4);

struct st_loadParams {
  float inertiaX;  // load centre
  float inertiaY;
  float inertiaZ;
  float loadValue;  // payload mass, kg
  float toolLength;
};
static_assert(sizeof(st_loadParams) == 20);
static_assert(offsetof(st_loadParams, loadValue) == 12);

struct st_basicdynamicparams6 {
  float ZZ1, FS1, FV1, ZZ2, MX2, MY2, IA2, FS2, FV2, ZZ3, M3, FS3, FV3, ZZ4, FS4, FV4;
  float gripperWeight;
  float gripperInertia;
  float torqueLimit[6];
};
static_assert(sizeof(st_basicdynamicparams6) == 24 * sizeof(float));
static_assert(offsetof(st_basicdynamicparams6, gripperWeight) == 16 * sizeof(float));
static_assert(offsetof(st_basicdynamicparams6, torqueLimit) == 18 * sizeof(float));

extern ZELOR_EXPORT st_collisionParams m_st_collisionParams;
extern ZELOR_EXPORT st_loadParams m_st_loadParams;
extern ZELOR_EXPORT st_basicdynamicparams6 m_st_basicdynamicparams6;

namespace zelor::config {

// Collision mode of collisionDect.json. The collision switch itself is the
// one in force in the process: see collision_switch.h.
extern ZELOR_EXPORT int gCollisonMode;

// Copies of the multi-robot settings (st_mulRobot_load).
extern ZELOR_EXPORT std::string gMasterAddr;
extern ZELOR_EXPORT int gRobotId;
extern ZELOR_EXPORT int gRobotInLine;

}  // namespace zelor::config
