#pragma once

#include <Eigen/Core>
#include <string>

namespace zelor::modules::dynamics {

// Writes one value per line ("%.9g") to a temporary file beside path, then
// renames it into place. Returns false, leaving path as it was, on any failure.
bool writeResultFile(const std::string& path, const Eigen::VectorXf& values);

}  // namespace zelor::modules::dynamics
