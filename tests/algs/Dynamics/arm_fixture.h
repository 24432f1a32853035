#pragma once

#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "Dynamics/dyn_para.h"
#include "common/kernel/kernel_state.h"

// The arm the dynamics tests run on: L1 = 225 mm, L2 = 175 mm, a 20 mm screw lead.
class ArmFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 5; ++i) saved_[i] = gScaraMechPara[i];
    gScaraMechPara[0] = 225.0;
    gScaraMechPara[1] = 175.0;
    gScaraMechPara[2] = 20.0;
  }
  void TearDown() override {
    for (int i = 0; i < 5; ++i) gScaraMechPara[i] = saved_[i];
  }

  static constexpr double kL1 = 0.225;
  static constexpr double kL2 = 0.175;

 private:
  double saved_[5] = {};
};

inline DynPara payloadOnly(double mass, double inertia) {
  DynPara P = {};
  P.para[dyn_slot::kPayloadMass] = mass;
  P.para[dyn_slot::kPayloadInertia] = inertia;
  return P;
}

// A physically consistent record: each link a rigid body with positive mass
// and centroidal inertia, so that M(q) is the inertia of a real arm; rotor
// inertias and friction positive.
inline DynPara randomArm(std::mt19937& rng) {
  std::uniform_real_distribution<double> mass(0.5, 5.0);
  std::uniform_real_distribution<double> centre(-0.1, 0.1);
  std::uniform_real_distribution<double> inertia(1e-3, 0.05);
  DynPara P = {};
  for (int j = 1; j <= 4; ++j) {
    const double m = mass(rng);
    const double cx = centre(rng);
    const double cy = centre(rng);
    P.para[dyn_slot::link(j, dyn_slot::kM)] = m;
    P.para[dyn_slot::link(j, dyn_slot::kMX)] = m * cx;
    P.para[dyn_slot::link(j, dyn_slot::kMY)] = m * cy;
    P.para[dyn_slot::link(j, dyn_slot::kZZ)] = inertia(rng) + m * (cx * cx + cy * cy);
    P.para[dyn_slot::link(j, dyn_slot::kIA)] = inertia(rng);
    P.para[dyn_slot::link(j, dyn_slot::kFS)] = 10.0 * inertia(rng);
    P.para[dyn_slot::link(j, dyn_slot::kFV)] = 10.0 * inertia(rng);
  }
  P.para[dyn_slot::kPayloadMass] = mass(rng);
  P.para[dyn_slot::kPayloadInertia] = inertia(rng);
  return P;
}

// Joints inside the working range: q3 in metres.
inline void randomJoints(std::mt19937& rng, double* q) {
  std::uniform_real_distribution<double> angle(-2.5, 2.5);
  std::uniform_real_distribution<double> lift(-0.2, 0.0);
  q[0] = angle(rng);
  q[1] = angle(rng);
  q[2] = lift(rng);
  q[3] = angle(rng);
}

inline void randomRates(std::mt19937& rng, double* qd, double scale) {
  std::uniform_real_distribution<double> rate(-scale, scale);
  for (int j = 0; j < 4; ++j) qd[j] = rate(rng);
}

// Joint positions, velocities (up to ±2) and accelerations (up to ±5).
struct JointState {
  double q[4];
  double qd[4];
  double qdd[4];
};

inline JointState randomState(std::mt19937& rng) {
  JointState s;
  randomJoints(rng, s.q);
  randomRates(rng, s.qd, 2.0);
  randomRates(rng, s.qdd, 5.0);
  return s;
}
