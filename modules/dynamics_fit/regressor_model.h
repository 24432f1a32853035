#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "dynamics_fit/parameter_names.h"

namespace zelor::modules::dynamics {

inline constexpr std::size_t kRegressorEntryCount = 157;

// The arm's inverse dynamic model written linearly in the base parameters:
// entry "DG<j><name>" is the derivative of joint j's torque with respect to
// base parameter <name>. Evaluated numerically from the arm table.
class RegressorModel {
 public:
  RegressorModel();

  // Entry names, in the order evaluate() fills its output.
  const std::array<std::string, kRegressorEntryCount>& entryNames() const { return names_; }

  // Positions (table angles), velocities and accelerations of the six joints.
  void evaluate(const float* q, const float* qd, const float* qdd,
                std::array<float, kRegressorEntryCount>& out) const;

 private:
  enum class Term { XX, XY, XZ, YZ, ZZ, MX, MY, IA, FS, FV };
  struct Entry {
    int joint;  // 1-based
    int link;   // 1-based
    Term term;
  };

  std::array<std::string, kRegressorEntryCount> names_;
  std::array<Entry, kRegressorEntryCount> entries_{};
};

}  // namespace zelor::modules::dynamics
