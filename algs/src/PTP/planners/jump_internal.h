#pragma once

// Pieces shared by the jump's three planning operations and its run phase.

#include <cstdint>

#include "PTP/profiles/traj_plan_data.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/pre_deal_data.h"
#include "common/kinematics/pose_records.h"

namespace jump_plan {

// Distances and limits below this are zero.
inline constexpr double kTiny = 1e-5;
// Lift and descent direction of joint 3.
inline constexpr std::int32_t kUp = 1;
inline constexpr std::int32_t kDown = -1;

// What a jump reads from its packed command, copied out of the packed record.
struct JumpCommand {
  std::uint8_t mode;   // 0 pose in the user frame, otherwise joints
  WCSPosition point;   // x, y, z, r or j1..j4
  bool arm;
  tagToolParams tool;
  tagLocalParams user;
  std::uint8_t refSysFlag;
  std::uint8_t loadFlag;
  _stLoadFullParams loadFull;
  tagPTPJointParams joint;
  tagPTPCommonParams common;
  double startJumpHeight;
  double endJumpHeight;
  double zLimit;
};
JumpCommand ReadJumpCommand(const PackedBaseCmd& cmd);

// Raises the alarm and drops the command.
void Fail(unsigned alarm);

// Speed, acceleration and jerk per joint.
struct JointLimits {
  double v[4];
  double a[4];
  double j[4];
};
// The limits under the global speed factor, and the same without it. Raises
// 26 and returns false when one under the factor is below kTiny.
bool ComputeLimits(const JumpCommand& c, JointLimits* withFactor, JointLimits* withoutFactor);

// How strictly the three planning operations check heights.
struct HeightRules {
  double presentAbove;  // present joint 3 may exceed zLimit by this much
  double targetAbove;   // the target's joint 3 likewise
  double rangeMargin;   // zLimit may leave joint 3's soft range by this much
  bool logLines;        // the "jump" lines
};
inline constexpr HeightRules kPreDealRules{kTiny, kTiny, kTiny, true};
inline constexpr HeightRules kNewPlanRules{0.5, 0.0, 0.0, false};
inline constexpr HeightRules kStopRules{0.0, 0.0, 0.0, false};

bool WithinSoftLimits(const double joints[4]);
// Present joint 3 against zLimit (21), then the soft limits (18).
bool CheckPresent(const double joints[4], const JumpCommand& c, const HeightRules& rules);
// The target's joint 3 against zLimit (21).
bool CheckTargetHeight(double targetJ3, const JumpCommand& c, const HeightRules& rules);
// zLimit inside joint 3's soft range and both heights not negative (21).
bool CheckJumpHeights(const JumpCommand& c, const HeightRules& rules);

// Target joints and base-frame pose from the command; false after its alarm.
bool SolveTarget(const JumpCommand& c, double joints[4], WCSPosition* pose);

// A queued jump's start (the look-ahead joints), limits and target, checked
// under rules and written into the entry and the look-ahead; false after the
// refusal's alarm.
struct LookAheadJump {
  double start[4];
  double target[4];
  JointLimits limits;
  JointLimits unscaled;
};
bool PrepareFromLookAhead(const JumpCommand& c, const HeightRules& rules, PreDealData* entry, LookAheadJump* out);

// Per-joint steps of joints 1, 2 and 4 (element 2 is joint 3's, kept for the
// torque model); anyMoves when one of the three moves.
struct JointSteps {
  TrajPlanData data[4];
  bool anyMoves;
};
void SplitJointMove(const double start[4], const double target[4], const JointLimits& limits, JointSteps* out);

// Plans a lift or descent of `dist` with joint 3's limits; segment 0 (lift)
// or 2 (descent) of the torque model when it is on, -1 for none. A stage
// shorter than kTiny is left empty (noMotion, no time).
void PlanVertical(PreDealData* e, TrajPlanData* p, const JumpCommand& c, const JointLimits& z, JointSteps* steps,
                  double dist, std::int32_t dir, int segment);

// The stage times in record order: lift time, joint start, descent start,
// joint duration.
void StoreStageTimes(PreDealData* e, double liftTime, double jointStart, double descentStart, double duration);

// Phase of a running jump at time t: 1 lifting before the joints start, 2
// joints and lift, 3 joints at the top, 4 joints and descent, 5 descent only,
// 6 done (settling).
int JumpPhase(const PreDealData* e, double t);

// A profile with nothing to do: no distance, no time.
void EmptyProfile(TrajPlanData* p);
// Clears what a run left in a profile: speed, position, in-flight flag.
void ClearRunState(TrajPlanData* p);

// What one plan of the three stages starts from.
struct StageRequest {
  double start[4];        // joints at the start (initialPos)
  double target[4];       // joints at the end
  JointLimits jointLimits;  // joints 1, 2, 4
  JointLimits zLimits;      // joint 3's lift and descent
  bool dropLift;          // the lift is over: joint 3 starts at its top
  double liftVStart;      // lift re-planned in flight from this speed
  bool liftInFlight;
  double hsReduction;     // lift already run towards startJumpHeight
  double jointVStart;
  bool jointInFlight;
  bool stretch;           // joints last at least until the descent reaches endJumpHeight
  bool shortJerkCheck;
  bool dumpAfterPlan;
};

// Plans lift, descent and the joint profile into the entry and stores the
// stage times. The entry's jumpMove.initialPos, origin and targetAngle are set.
void PlanStages(PreDealData* e, const JumpCommand& c, const StageRequest& r);

// The "JUMPDEBUG" dump of a joint profile longer than 5 s.
void DumpIfLong(const PreDealData* e, const JumpCommand& c, const char* tag);

// Direction of joint 3 along the descent. A profile planned in flight under
// the five-segment type keeps its own speed direction in accDir; the only
// descent planned in flight (the rest of a descent after a speed change)
// goes down. The lift always goes up.
std::int32_t DescentDirection(const TrajPlanData& descent);

// Height at which the descent starts: zLimit after a lift, otherwise where
// joint 3 starts.
double LiftTop(const PreDealData* e);

}  // namespace jump_plan
