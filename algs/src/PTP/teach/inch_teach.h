#pragma once

// Inching: one configured step of one joint, or of one Cartesian coordinate
// in the current tool and user frame, per key press, along a planned velocity
// profile. The press is the jog command of the system parameters; a new step
// needs the command to go back to 0 first, and the command is looked at only
// while no step runs.

#include <cstdint>

#include "PTP/profiles/traj_plan_data.h"

class InchTeach {
 public:
  // Plans a new step from the press ConvertCommand took.
  virtual void PreDeal() = 0;
  // One cycle of the running step.
  virtual void InchMoving() = 0;

  // One control cycle.
  void Inch();
  // 1 on a rising edge of the jog command (after latching axis, direction and
  // the measured joint of the axis), else 0; remembers the command either way.
  int ConvertCommand();
  // No step runs.
  void Reset();
  bool IsIdle() const { return plan.noMotion != 0; }

 protected:
  InchTeach();
  ~InchTeach() = default;
  InchTeach(const InchTeach&) = delete;
  InchTeach& operator=(const InchTeach&) = delete;

  // Plans a step of `dist` with the given jog velocity and acceleration (the
  // axis's configured values, scaled by the jog speed ratio) and starts it.
  void PlanStep(double dist, float velocity, float acceleration);
  // Distance covered at this cycle; the full step, ending the step, on its last cycle.
  double Advance();

  std::uint8_t axis = 0;
  std::int8_t direction = 1;
  std::int32_t cycleCount = 0;
  double startValue = 0.0;  // measured joint of the axis at the press
  TrajPlanData plan{};      // noMotion doubles as the idle flag
  double startPose[4] = {};
  std::uint8_t command = 0;
  std::uint8_t previousCommand = 0;
};

class InchJoint final : public InchTeach {
 public:
  void PreDeal() override;
  void InchMoving() override;
};

class InchCoord final : public InchTeach {
 public:
  void PreDeal() override;
  void InchMoving() override;
};

// The kernel's two inch movers; the profile stage runs the one of the jog
// mode, the jog command resets both.
extern InchJoint gInchJoint;
extern InchCoord gInchCoord;
