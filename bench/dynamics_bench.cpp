// Dynamics of the arm. Targets: DynamicOptimal on a line <= 10 µs (<= 30 µs
// when J4 needs the pseudo-inverse); calcTCPAcc <= 2 µs; calcTorqueW7 <= 1 µs
// with a log callback that does nothing; MassInertiaMatrix + CenCorMatrix <= 1 µs;
// the per-cycle stage Dynamics(true) with the observer armed and hand guiding
// on <= 2 µs (0.05 % of the 4 ms period); TauOb <= 1 µs.
#include <benchmark/benchmark.h>

#include "Dynamics/dynamic_optimal.h"
#include "Dynamics/dynamics_stage.h"
#include "Dynamics/scara_jacobian.h"
#include "Dynamics/scara_model.h"
#include "Dynamics/scara_torque.h"
#include "Dynamics/torque_observer.h"
#include "PTP/path/path.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/collision_detection.h"
#include "common/kernel/dynamics_state.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "json/parameter_globals.h"

namespace {

void setArm() {
  gScaraMechPara[0] = 225.0;
  gScaraMechPara[1] = 175.0;
  gScaraMechPara[2] = 20.0;
}

DynPara payloadModel() {
  DynPara P = {};
  P.para[dyn_slot::kPayloadMass] = 2.0;
  P.para[dyn_slot::kPayloadInertia] = 0.01;
  return P;
}

// A line in metres; its middle lies on the x axis when y0 = -y1.
PathInfo line(double x0, double y0, double x1, double y1) {
  MotionCmd cmd = {};
  cmd.kind = kPathLine;
  cmd.start[0] = x0;
  cmd.start[1] = y0;
  cmd.end[0] = x1;
  cmd.end[1] = y1;
  cmd.end[3] = 0.5;
  for (int k = 0; k < 4; ++k) {
    cmd.linear[k] = 1.0;
    cmd.rotation[k] = 1.0;
  }
  PathInfo p = {};
  getPath(cmd, p);
  return p;
}

void runDynamicOptimal(benchmark::State& state, const PathInfo& path) {
  setArm();
  const DynPara P = payloadModel();
  double tMax[4] = {10, 8, 300, 2};
  double tMin[4] = {-10, -8, -300, -2};
  double limit = 0.0;
  bool isAcc = true;
  for (auto _ : state) {
    DynamicOptimal(0.5, 0.3, isAcc, path, P, tMax, tMin, limit);
    benchmark::DoNotOptimize(limit);
    isAcc = !isAcc;
  }
}

void BM_DynamicOptimalLine(benchmark::State& state) { runDynamicOptimal(state, line(0.25, 0.05, 0.15, 0.2)); }
BENCHMARK(BM_DynamicOptimalLine);

// At u = 0.5 the point lies on the x axis: the unpivoted LU meets a zero pivot.
void BM_DynamicOptimalLinePseudoInverse(benchmark::State& state) {
  runDynamicOptimal(state, line(0.3, -0.05, 0.3, 0.05));
}
BENCHMARK(BM_DynamicOptimalLinePseudoInverse);

void BM_calcTCPAcc(benchmark::State& state) {
  setArm();
  double q[4] = {0.3, 1.1, -0.05, -0.4};
  double qd[4] = {1.0, -0.5, 0.1, 2.0};
  double qdd[4] = {3.0, 2.0, -1.0, 0.5};
  double v[4];
  double a[4];
  for (auto _ : state) {
    calcTCPAcc(q, qd, qdd, v, a, nullptr);
    benchmark::DoNotOptimize(a);
    q[0] += 1e-6;
  }
}
BENCHMARK(BM_calcTCPAcc);

void BM_calcTorqueW7(benchmark::State& state) {
  core_interface table{};
  table.log = [](const char*) {};
  core_interface* saved = gp_core_interface_inst;
  gp_core_interface_inst = &table;
  double q[4] = {0.3, 1.1, -0.05, -0.4};
  double qd[4] = {1.0, -0.5, 0.1, 2.0};
  double qdd[4] = {3.0, 2.0, -1.0, 0.5};
  double tau[4] = {};
  for (auto _ : state) {
    calcTorqueW7(q, qd, qdd, tau);
    benchmark::DoNotOptimize(tau);
    q[1] += 1e-6;
  }
  gp_core_interface_inst = saved;
}
BENCHMARK(BM_calcTorqueW7);

void BM_MassAndCoriolis(benchmark::State& state) {
  setArm();
  const DynPara P = payloadModel();
  double q[4] = {0.3, 1.1, -0.05, -0.4};
  double qd[4] = {1.0, -0.5, 0.1, 2.0};
  double M[4][4];
  double h[4];
  for (auto _ : state) {
    MassInertiaMatrix(q, M, P);
    CenCorMatrix(q, qd, h, P);
    benchmark::DoNotOptimize(M);
    benchmark::DoNotOptimize(h);
    q[1] += 1e-6;
  }
}
BENCHMARK(BM_MassAndCoriolis);

}  // namespace

// The single-precision model's parameters of a small arm with a 2 kg payload.
void setSinglePrecisionModel() {
  st_basicdynamicparams6& P = m_st_basicdynamicparams6;
  P = {};
  P.ZZ1 = 0.5f;
  P.FS1 = 1.0f;
  P.FV1 = 2.0f;
  P.ZZ2 = 0.1f;
  P.MX2 = 0.3f;
  P.MY2 = 0.05f;
  P.IA2 = 0.02f;
  P.FS2 = 0.5f;
  P.FV2 = 1.0f;
  P.ZZ3 = 4.0f;
  P.M3 = 3.0f;
  P.FS3 = 10.0f;
  P.FV3 = 20.0f;
  m_st_loadParams.loadValue = 2.0f;
}

void BM_DynamicsArmedHandGuiding(benchmark::State& state) {
  setSinglePrecisionModel();
  gPeriodTime = 0.004;
  gJointPara[5] = gJointPara[6] = gJointPara[8] = 50.0;
  gTorDiffParams = {{1e30f, 1e30f, 1e30f, 1e30f}};
  gIsCollisionDect = 1;
  gIsHandGuiding = 1;
  gRobotEnableFlag = 1;
  gRobotPrfMode = kPrfExecute;
  for (int j = 0; j < 4; ++j) {
    gServoFeedBack[j].position = 20.0 + j;
    gServoFeedBack[j].velocity = 30.0;
    gServoFeedBack[j].torque = 200.0;
  }
  for (int i = 0; i < 130; ++i) Dynamics(true);  // past the enable delay: armed
  int n = 0;
  for (auto _ : state) {
    gServoFeedBack[0].position += 0.12;
    gServoFeedBack[1].velocity = 30.0 + (++n & 7);
    Dynamics(true);
    benchmark::DoNotOptimize(gDynamicInfo);
  }
  gIsCollisionDect = 0;
  gIsHandGuiding = 0;
  gRobotPrfMode = kPrfIdle;
}
BENCHMARK(BM_DynamicsArmedHandGuiding);

void BM_TauOb(benchmark::State& state) {
  setSinglePrecisionModel();
  float q[3] = {0.3f, -0.7f, 40.0f};
  const float qd[3] = {0.8f, -1.1f, 25.0f};
  const float tm[3] = {1.0f, -0.5f, 60.0f};
  const float bias[3] = {};
  float r[3];
  for (auto _ : state) {
    q[0] += 0.001f;
    q[1] -= 0.001f;
    TauOb(r, q, qd, tm, bias, 0.004f, false);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_TauOb);

BENCHMARK_MAIN();
