#pragma once

#include <Eigen/Core>
#include <optional>
#include <string>

namespace zelor::modules::dynamics {

inline constexpr int kSampleColumns = 24;  // q 0-5, velocities 6-11, accelerations 12-17, torques 18-23
inline constexpr int kValuesUsed = 12;     // per line: six positions, then six torques
inline constexpr float kSamplePeriod = 0.02F;
inline constexpr float kSlowJoint = 0.05F;

// Reads one identification file: positions differentiated with the sample
// period, and only the rows in which every joint moves faster than kSlowJoint.
// A file that cannot be opened or parsed is refused with a printed message.
std::optional<Eigen::MatrixXf> readSampleFile(const std::string& path);

}  // namespace zelor::modules::dynamics
