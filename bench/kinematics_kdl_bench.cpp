// The arm's closed-form kinematics against a general solver on the same
// four-joint chain: KDL's recursive forward solution and its Newton-Raphson
// inverse. Targets: forward at least 5x, inverse at least 100x faster.
// Built only where the KDL development package is installed.
#include <random>
#include <vector>

#include <benchmark/benchmark.h>
#include <kdl/chain.hpp>
#include <kdl/chainfksolverpos_recursive.hpp>
#include <kdl/chainiksolverpos_nr.hpp>
#include <kdl/chainiksolvervel_pinv.hpp>

#include "common/kernel/kernel_state.h"
#include "common/kinematics/kinematics.h"

namespace {

constexpr int kPoints = 256;
constexpr double kL1 = 225, kL2 = 175, kZOffset = 10;

struct Setup {
  Setup() {
    gScaraMechPara[0] = kL1;
    gScaraMechPara[1] = kL2;
    gScaraMechPara[3] = kZOffset;
    const double limits[9] = {180, 180, 1000, 1000, -180, -180, -1000, -1000, 0};
    for (int i = 0; i < 9; ++i) gSoftLimitPara[i] = limits[i];

    using KDL::Frame;
    using KDL::Joint;
    using KDL::Segment;
    using KDL::Vector;
    chain.addSegment(Segment(Joint(Joint::RotZ), Frame(Vector(kL1, 0, 0))));
    chain.addSegment(Segment(Joint(Joint::RotZ), Frame(Vector(kL2, 0, 0))));
    chain.addSegment(Segment(Joint(Joint::TransZ), Frame(Vector(0, 0, kZOffset))));
    chain.addSegment(Segment(Joint(Joint::RotZ)));

    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> j1(-120, 120), j2(10, 140), j3(-200, 0), j4(-170, 170);
    for (int i = 0; i < kPoints; ++i) {
      const JointTheta j = {j1(rng), j2(rng), j3(rng), j4(rng)};
      joints.push_back(j);
      WCSPosition p;
      W7ForwardCal(&j, &p);
      flanges.push_back(p);
      KDL::JntArray q(4);
      q(0) = j.j1 * kDegToRad;
      q(1) = j.j2 * kDegToRad;
      q(2) = j.j3;
      q(3) = j.j4 * kDegToRad;
      kdlJoints.push_back(q);
      KDL::Frame f;
      KDL::ChainFkSolverPos_recursive fk(chain);
      fk.JntToCart(q, f);
      kdlFrames.push_back(f);
      // Seed a few degrees and millimetres away from the solution.
      KDL::JntArray seed(4);
      seed(0) = q(0) + 0.05;
      seed(1) = q(1) - 0.05;
      seed(2) = q(2) + 2.0;
      seed(3) = q(3) + 0.05;
      seeds.push_back(seed);
    }
  }
  KDL::Chain chain;
  std::vector<JointTheta> joints;
  std::vector<WCSPosition> flanges;
  std::vector<KDL::JntArray> kdlJoints, seeds;
  std::vector<KDL::Frame> kdlFrames;
};

const Setup& setup() {
  static const Setup s;
  return s;
}

void BM_W7ForwardCal(benchmark::State& state) {
  const Setup& s = setup();
  WCSPosition p;
  std::size_t i = 0;
  for (auto _ : state) {
    W7ForwardCal(&s.joints[i], &p);
    benchmark::DoNotOptimize(p);
    i = (i + 1) % kPoints;
  }
}
BENCHMARK(BM_W7ForwardCal);

void BM_KDL_ForwardRecursive(benchmark::State& state) {
  const Setup& s = setup();
  KDL::ChainFkSolverPos_recursive fk(s.chain);
  KDL::Frame f;
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fk.JntToCart(s.kdlJoints[i], f));
    benchmark::DoNotOptimize(f);
    i = (i + 1) % kPoints;
  }
}
BENCHMARK(BM_KDL_ForwardRecursive);

void BM_W7InverseCal(benchmark::State& state) {
  const Setup& s = setup();
  JointTheta j;
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(W7InverseCal(&s.flanges[i], true, &j, kCheckAllJoints));
    benchmark::DoNotOptimize(j);
    i = (i + 1) % kPoints;
  }
}
BENCHMARK(BM_W7InverseCal);

void BM_KDL_InverseNewtonRaphson(benchmark::State& state) {
  const Setup& s = setup();
  KDL::ChainFkSolverPos_recursive fk(s.chain);
  KDL::ChainIkSolverVel_pinv ikVel(s.chain);
  KDL::ChainIkSolverPos_NR ik(s.chain, fk, ikVel, 100, 1e-9);
  KDL::JntArray q(4);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ik.CartToJnt(s.seeds[i], s.kdlFrames[i], q));
    benchmark::DoNotOptimize(q);
    i = (i + 1) % kPoints;
  }
}
BENCHMARK(BM_KDL_InverseNewtonRaphson);

}  // namespace

BENCHMARK_MAIN();
