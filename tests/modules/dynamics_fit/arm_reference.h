#pragma once

// Reference dynamics of the six-joint arm for the fit's tests: a classic
// recursive Newton-Euler on the standard link parameters (double precision),
// the regrouping of the standard parameters into the 52 base parameters, and
// identification files generated from known parameters.

#include <Eigen/Dense>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "dynamics_fit/arm_geometry.h"
#include "dynamics_fit/parameter_names.h"

namespace zelor::test::dynamics {

using Eigen::Matrix3d;
using Eigen::Vector3d;
namespace dyn = zelor::modules::dynamics;

// Standard parameters of one link, inertia about the link frame's origin.
struct LinkParameters {
  double xx = 0, xy = 0, xz = 0, yy = 0, yz = 0, zz = 0;
  double mx = 0, my = 0, mz = 0, m = 0;
  double ia = 0, fs = 0, fv = 0;

  Matrix3d inertia() const {
    Matrix3d j;
    j << xx, xy, xz, xy, yy, yz, xz, yz, zz;
    return j;
  }
  Vector3d moment() const { return {mx, my, mz}; }
};
using ArmParameters = std::array<LinkParameters, 6>;

struct JointState {
  std::array<double, 6> q{}, qd{}, qdd{};
};

inline Matrix3d frameRotation(int j, double theta) {
  const dyn::DhRow& row = dyn::kArmTable[j];
  return (Eigen::AngleAxisd(row.alpha, Vector3d::UnitX()) * Eigen::AngleAxisd(theta, Vector3d::UnitZ()))
      .toRotationMatrix();
}
inline Vector3d frameOrigin(int j) {
  const dyn::DhRow& row = dyn::kArmTable[j];
  return Eigen::AngleAxisd(row.alpha, Vector3d::UnitX()) * Vector3d(row.d, 0.0, row.r);
}

// Joint torques by Newton-Euler about each link's centre of mass.
inline std::array<double, 6> newtonEuler(const ArmParameters& p, const JointState& s) {
  std::array<Matrix3d, 6> rot;  // frame j-1 to frame j
  std::array<Vector3d, 6> w, wd, ac, force, torqueAtCom, com;
  Vector3d wPrev = Vector3d::Zero(), wdPrev = Vector3d::Zero();
  Vector3d aPrev(0.0, 0.0, dyn::kGravity);
  const Vector3d z = Vector3d::UnitZ();
  for (int j = 0; j < 6; ++j) {
    rot[j] = frameRotation(j, s.q[j]);
    const Matrix3d rt = rot[j].transpose();
    const Vector3d origin = frameOrigin(j);
    const Vector3d aOrigin = rt * (aPrev + wdPrev.cross(origin) + wPrev.cross(wPrev.cross(origin)));
    w[j] = rt * wPrev + s.qd[j] * z;
    wd[j] = rt * wdPrev + (rt * wPrev).cross(s.qd[j] * z) + s.qdd[j] * z;
    com[j] = p[j].moment() / p[j].m;
    ac[j] = aOrigin + wd[j].cross(com[j]) + w[j].cross(w[j].cross(com[j]));
    const Matrix3d jc = p[j].inertia() - p[j].m * (com[j].squaredNorm() * Matrix3d::Identity() - com[j] * com[j].transpose());
    force[j] = p[j].m * ac[j];
    torqueAtCom[j] = jc * wd[j] + w[j].cross(jc * w[j]);
    wPrev = w[j];
    wdPrev = wd[j];
    aPrev = aOrigin;
  }
  std::array<double, 6> tau{};
  Vector3d f = Vector3d::Zero(), n = Vector3d::Zero();  // exerted on link j+1 by link j, in frame j+1
  for (int j = 5; j >= 0; --j) {
    Vector3d fChild = Vector3d::Zero(), nChild = Vector3d::Zero();
    if (j < 5) {
      fChild = rot[j + 1] * f;
      nChild = rot[j + 1] * n + frameOrigin(j + 1).cross(fChild);
    }
    const Vector3d fj = force[j] + fChild;
    const Vector3d nj = torqueAtCom[j] + com[j].cross(force[j]) + nChild;
    const double v = s.qd[j];
    tau[j] = nj.z() + p[j].ia * s.qdd[j] + p[j].fs * ((v > 0) - (v < 0)) + p[j].fv * v;
    f = fj;
    n = nj;
  }
  return tau;
}

// The 52 base parameters: for j = 6 down to 2, YYj, MZj and Mj move onto link
// j-1 as a body that joint j's rotation leaves unchanged, and XXj becomes
// XXj - YYj; IA1 and IA2 add to ZZ1 and ZZ2.
inline std::array<double, dyn::kBaseParameterCount> baseParameters(ArmParameters p) {
  for (int j = 5; j >= 1; --j) {
    LinkParameters& link = p[j];
    LinkParameters& parent = p[j - 1];
    const Matrix3d r = frameRotation(j, 0.0);
    const Vector3d o = frameOrigin(j);
    const Vector3d z = r.col(2);
    const Matrix3d jB = link.yy * (Matrix3d::Identity() - z * z.transpose());
    const Vector3d sB = link.mz * z;
    const Matrix3d jA = jB + link.m * (o.squaredNorm() * Matrix3d::Identity() - o * o.transpose()) +
                        (2.0 * o.dot(sB) * Matrix3d::Identity() - o * sB.transpose() - sB * o.transpose());
    const Vector3d sA = sB + link.m * o;
    parent.xx += jA(0, 0);
    parent.xy += jA(0, 1);
    parent.xz += jA(0, 2);
    parent.yy += jA(1, 1);
    parent.yz += jA(1, 2);
    parent.zz += jA(2, 2);
    parent.mx += sA.x();
    parent.my += sA.y();
    parent.mz += sA.z();
    parent.m += link.m;
    link.xx -= link.yy;
  }
  std::array<double, dyn::kBaseParameterCount> base{};
  base[0] = p[0].zz + p[0].ia;
  base[1] = p[0].fs;
  base[2] = p[0].fv;
  const LinkParameters& l2 = p[1];
  const double second[] = {l2.xx, l2.xy, l2.xz, l2.yz, l2.zz + l2.ia, l2.mx, l2.my, l2.fs, l2.fv};
  std::copy(std::begin(second), std::end(second), base.begin() + 3);
  for (int k = 2; k < 6; ++k) {
    const LinkParameters& l = p[k];
    const double values[] = {l.xx, l.xy, l.xz, l.yz, l.zz, l.mx, l.my, l.ia, l.fs, l.fv};
    std::copy(std::begin(values), std::end(values), base.begin() + 12 + 10 * (k - 2));
  }
  return base;
}

// A physically plausible random arm: positive masses, centres of mass within
// 0.2 m, inertia about the centre of mass positive definite.
inline ArmParameters randomArm(std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  ArmParameters arm;
  for (int k = 0; k < 6; ++k) {
    LinkParameters& l = arm[k];
    l.m = 1.0 + 4.0 * (u(rng) + 1.0);
    const Vector3d c(0.2 * u(rng), 0.2 * u(rng), 0.2 * u(rng));
    const Matrix3d a = Matrix3d::NullaryExpr([&] { return 0.2 * u(rng); });
    const Matrix3d jc = a * a.transpose() + 0.02 * Matrix3d::Identity();
    const Matrix3d jo = jc + l.m * (c.squaredNorm() * Matrix3d::Identity() - c * c.transpose());
    l.xx = jo(0, 0);
    l.xy = jo(0, 1);
    l.xz = jo(0, 2);
    l.yy = jo(1, 1);
    l.yz = jo(1, 2);
    l.zz = jo(2, 2);
    l.mx = l.m * c.x();
    l.my = l.m * c.y();
    l.mz = l.m * c.z();
    l.ia = 0.5 * (u(rng) + 1.0);
    l.fs = 2.0 * (u(rng) + 1.5);
    l.fv = 1.0 * (u(rng) + 1.5);
  }
  return arm;
}

// Exciting motion: a sum of sines on each joint, and its exact derivatives.
struct Excitation {
  std::array<std::array<double, 4>, 6> a{}, b{};
  std::array<double, 6> offset{};
  double base = 2.0 * M_PI * 0.1;

  explicit Excitation(std::mt19937& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int j = 0; j < 6; ++j) {
      offset[j] = 0.5 * u(rng);
      for (int h = 0; h < 4; ++h) {
        a[j][h] = 0.5 * u(rng) / (h + 1);
        b[j][h] = 0.5 * u(rng) / (h + 1);
      }
    }
  }
  JointState at(double t) const {
    JointState s;
    for (int j = 0; j < 6; ++j) {
      s.q[j] = offset[j];
      for (int h = 0; h < 4; ++h) {
        const double w = base * (h + 1);
        const double sn = std::sin(w * t), cs = std::cos(w * t);
        s.q[j] += a[j][h] * sn + b[j][h] * cs;
        s.qd[j] += w * (a[j][h] * cs - b[j][h] * sn);
        s.qdd[j] -= w * w * (a[j][h] * sn + b[j][h] * cs);
      }
    }
    return s;
  }
};

// One identification file: positions (with the quarter turn of joints 2 and 4
// added back) and Newton-Euler torques, "%.9g".
inline bool writeIdentificationFile(const std::string& path, const ArmParameters& arm, const Excitation& e,
                                    int samples, double t0) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  for (int i = 0; i < samples; ++i) {
    const JointState s = e.at(t0 + 0.02 * i);
    const auto tau = newtonEuler(arm, s);
    std::array<double, 6> q = s.q;
    q[1] += dyn::kHalfPi;
    q[3] += dyn::kHalfPi;
    for (int j = 0; j < 6; ++j) std::fprintf(f, "%.9g,", q[j]);
    for (int j = 0; j < 6; ++j) std::fprintf(f, j < 5 ? "%.9g," : "%.9g\n", tau[j]);
  }
  return std::fclose(f) == 0;
}

}  // namespace zelor::test::dynamics
