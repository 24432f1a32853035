#include "dynamics_fit/regressor_model.h"

#include <Eigen/Dense>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "dynamics_fit/arm_geometry.h"

namespace zelor::modules::dynamics {

namespace {

using Eigen::Matrix3d;
using Eigen::Vector3d;

constexpr int kInertialTerms = 7;  // XX XY XZ YZ ZZ MX MY

// Inertia tensor with a single unit element, applied to v.
Vector3d unitInertiaTimes(int term, const Vector3d& v) {
  switch (term) {
    case 0: return {v.x(), 0.0, 0.0};      // XX
    case 1: return {v.y(), v.x(), 0.0};    // XY
    case 2: return {v.z(), 0.0, v.x()};    // XZ
    case 3: return {0.0, v.z(), v.y()};    // YZ
    default: return {0.0, 0.0, v.z()};     // ZZ
  }
}

struct Wrench {
  Vector3d force;
  Vector3d moment;  // about the link frame's origin
};

// Wrench needed to move link k when only one of its inertial parameters is 1.
Wrench unitWrench(int term, const Vector3d& w, const Vector3d& wd, const Vector3d& a) {
  if (term < 5) {
    return {Vector3d::Zero(), unitInertiaTimes(term, wd) + w.cross(unitInertiaTimes(term, w))};
  }
  const Vector3d ms = term == 5 ? Vector3d::UnitX() : Vector3d::UnitY();
  return {wd.cross(ms) + w.cross(w.cross(ms)), ms.cross(a)};
}

}  // namespace

RegressorModel::RegressorModel() {
  std::size_t n = 0;
  for (const auto& slot : kBaseParameterNames) {
    const std::string name(slot);
    const int link = name.back() - '0';
    static const char* const kTerms[] = {"XX", "XY", "XZ", "YZ", "ZZ", "MX", "MY", "IA", "FS", "FV"};
    int term = 0;
    while (term < 10 && name.compare(0, 2, kTerms[term]) != 0) ++term;
    const bool inertial = term < kInertialTerms;
    for (int joint = inertial ? 1 : link; joint <= link; ++joint) {
      if (n == kRegressorEntryCount) throw std::logic_error("regressor entry table overflow");
      names_[n] = "DG" + std::to_string(joint) + name;
      entries_[n] = {joint, link, static_cast<Term>(term)};
      ++n;
    }
  }
  if (n != kRegressorEntryCount) throw std::logic_error("regressor entry table incomplete");
}

void RegressorModel::evaluate(const float* q, const float* qd, const float* qdd,
                              std::array<float, kRegressorEntryCount>& out) const {
  // Forward recursion in each link's own frame, and each frame's pose in the base.
  std::array<Vector3d, 7> w, wd, a, origin, axis;
  std::array<Matrix3d, 7> rot;
  w[0].setZero();
  wd[0].setZero();
  a[0] = {0.0, 0.0, kGravity};  // the base accelerating upwards stands for gravity
  rot[0].setIdentity();
  origin[0].setZero();
  for (std::size_t j = 1; j <= kJointCount; ++j) {
    const DhRow& row = kArmTable[j - 1];
    const double ca = std::cos(row.alpha), sa = std::sin(row.alpha);
    const double ct = std::cos(q[j - 1]), st = std::sin(q[j - 1]);
    Matrix3d r;  // RotX(alpha) * RotZ(theta)
    r << ct, -st, 0.0, ca * st, ca * ct, -sa, sa * st, sa * ct, ca;
    const Vector3d p(row.d, -sa * row.r, ca * row.r);
    const Vector3d z = Vector3d::UnitZ();
    const Vector3d wPrev = r.transpose() * w[j - 1];
    w[j] = wPrev + qd[j - 1] * z;
    wd[j] = r.transpose() * wd[j - 1] + qdd[j - 1] * z + wPrev.cross(qd[j - 1] * z);
    a[j] = r.transpose() * (a[j - 1] + wd[j - 1].cross(p) + w[j - 1].cross(w[j - 1].cross(p)));
    rot[j] = rot[j - 1] * r;
    origin[j] = origin[j - 1] + rot[j - 1] * p;
    axis[j] = rot[j].col(2);
  }

  // Unit wrenches of every link's inertial terms, in the base frame.
  std::array<std::array<Wrench, kInertialTerms>, 7> unit;
  for (std::size_t k = 1; k <= kJointCount; ++k) {
    for (int t = 0; t < kInertialTerms; ++t) {
      const Wrench local = unitWrench(t, w[k], wd[k], a[k]);
      unit[k][t] = {rot[k] * local.force, rot[k] * local.moment};
    }
  }

  for (std::size_t n = 0; n < kRegressorEntryCount; ++n) {
    const Entry& e = entries_[n];
    const double v = qd[e.link - 1];
    double value = 0.0;
    switch (e.term) {
      case Term::IA: value = qdd[e.link - 1]; break;
      case Term::FS: value = v > 0.0 ? 1.0 : (v < 0.0 ? -1.0 : 0.0); break;
      case Term::FV: value = v; break;
      default: {
        const Wrench& u = unit[e.link][static_cast<int>(e.term)];
        const Vector3d& z = axis[e.joint];
        value = z.dot(u.moment) + u.force.dot(z.cross(origin[e.link] - origin[e.joint]));
      }
    }
    out[n] = static_cast<float>(value);
  }
}

}  // namespace zelor::modules::dynamics
