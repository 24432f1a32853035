#include <gtest/gtest.h>

#include <map>
#include <set>

#include "dynamics_fit/arm_reference.h"
#include "dynamics_fit/dynamics_identify.h"

namespace zelor::test::dynamics {
namespace {

using zelor::modules::dynamics::DynamicsIdentify;
using zelor::modules::dynamics::kBaseParameterNames;

JointState randomState(std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  JointState s;
  for (int j = 0; j < 6; ++j) {
    s.q[j] = M_PI * u(rng);
    s.qd[j] = (0.06 + 1.5 * std::abs(u(rng))) * (u(rng) < 0 ? -1.0 : 1.0);
    s.qdd[j] = 4.0 * u(rng);
  }
  return s;
}

// The 24-column sample row the fit evaluates.
std::array<float, 24> sampleRow(const JointState& s) {
  std::array<float, 24> row{};
  for (int j = 0; j < 6; ++j) {
    row[j] = static_cast<float>(s.q[j]);
    row[6 + j] = static_cast<float>(s.qd[j]);
    row[12 + j] = static_cast<float>(s.qdd[j]);
  }
  return row;
}

// Joint j's model torque W_j . p from the fit's own entry lookup.
double modelTorque(const DynamicsIdentify& fit, int joint, const std::array<double, 52>& base) {
  double tau = 0.0;
  for (std::size_t c = 0; c < base.size(); ++c) {
    tau += fit.get_value("DG" + std::to_string(joint) + kBaseParameterNames[c]) * base[c];
  }
  return tau;
}

TEST(RegressorModel, BaseParametersReproduceNewtonEulerTorques) {
  std::mt19937 rng(20261211);
  DynamicsIdentify fit;
  for (int trial = 0; trial < 200; ++trial) {
    const ArmParameters arm = randomArm(rng);
    const auto base = baseParameters(arm);
    // Float positions, so the reference sees exactly the state the model does.
    JointState s = randomState(rng);
    const auto row = sampleRow(s);
    for (int j = 0; j < 6; ++j) {
      s.q[j] = row[j];
      s.qd[j] = row[6 + j];
      s.qdd[j] = row[12 + j];
    }
    fit.evaluateSample(row.data());
    const auto tau = newtonEuler(arm, s);
    double largest = 0.0;
    for (double t : tau) largest = std::max(largest, std::abs(t));
    for (int j = 0; j < 6; ++j) {
      EXPECT_NEAR(modelTorque(fit, j + 1, base), tau[j], 1e-4 * largest) << "trial " << trial << " joint " << j + 1;
    }
  }
}

// The entries the model produces: inertia and first moments of link k for
// joints 1..k, actuator inertia and friction of link k for joint k alone.
std::set<std::string> producedNames() {
  std::set<std::string> names;
  for (const auto& slot : kBaseParameterNames) {
    const std::string p(slot);
    const int link = p.back() - '0';
    const bool jointOnly = p.rfind("IA", 0) == 0 || p.rfind("FS", 0) == 0 || p.rfind("FV", 0) == 0;
    for (int j = jointOnly ? link : 1; j <= link; ++j) names.insert("DG" + std::to_string(j) + p);
  }
  return names;
}

TEST(RegressorModel, OnlyTheNamedEntriesAreProduced) {
  const std::set<std::string> produced = producedNames();
  ASSERT_EQ(produced.size(), 157U);
  std::mt19937 rng(7);
  DynamicsIdentify fit;
  std::map<std::string, float> largest;
  for (int trial = 0; trial < 20; ++trial) {
    fit.evaluateSample(sampleRow(randomState(rng)).data());
    for (int j = 1; j <= 6; ++j) {
      for (const auto& slot : kBaseParameterNames) {
        const std::string name = "DG" + std::to_string(j) + slot;
        const float v = fit.get_value(name);
        if (produced.count(name) == 0) {
          EXPECT_EQ(v, 0.0F) << name;
        } else {
          largest[name] = std::max(largest[name], std::abs(v));
        }
      }
    }
  }
  EXPECT_EQ(fit.get_value("DG2ZZ1"), 0.0F);
  EXPECT_EQ(fit.get_value("DG4XX3"), 0.0F);
  EXPECT_EQ(fit.get_value("DG6FS5"), 0.0F);
  EXPECT_EQ(fit.get_value("not an entry"), 0.0F);
  // Produced but zero for this arm: joints 2 to 4 are perpendicular to joint 1,
  // so their links' ZZ terms exert no torque about it, and link 2's origin lies
  // on joint 1's axis, along gravity, so its first moments exert none either.
  const std::set<std::string> zeroForThisArm = {"DG1ZZ2", "DG1ZZ3", "DG1ZZ4", "DG1MX2", "DG1MY2"};
  for (const auto& name : produced) {
    if (zeroForThisArm.count(name) != 0) {
      EXPECT_LT(largest[name], 1e-6F) << name;
    } else {
      EXPECT_GT(largest[name], 1e-3F) << name << " never varies";
    }
  }
}

}  // namespace
}  // namespace zelor::test::dynamics
