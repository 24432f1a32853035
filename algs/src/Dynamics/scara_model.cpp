#include "Dynamics/scara_model.h"

#include "Dynamics/arm_lengths.h"
#include "common/math/fast_trig.h"

namespace {

namespace ds = dyn_slot;

constexpr double kGravity = 9.8;

// The terms of M(q) that depend on q2 and q4, shared by the matrix and its derivatives.
struct MassTerms {
  double L1, L2;
  double C2, S2;
  double Mt;      // mass carried at the end of link 2
  double X4, Y4;  // first moments of link 4 in frame 3
  double Xs, Ys;  // first moments of links 2..4 and the load about joint 2, frame 2
  double K;       // inertia of links 2..4 and the load about joint 2
  double N;       // coupling of joint 4 with joint 2
};

MassTerms massTerms(const double* q, const DynPara& P) {
  const double* p = P.para;
  MassTerms m;
  m.L1 = armL1();
  m.L2 = armL2();
  m.C2 = cosQ(q[1]);
  m.S2 = sinQ(q[1]);
  const double C4 = cosQ(q[3]);
  const double S4 = sinQ(q[3]);
  const double mx4 = p[ds::link(4, ds::kMX)];
  const double my4 = p[ds::link(4, ds::kMY)];
  const double il = p[ds::kPayloadInertia];
  m.Mt = p[ds::link(3, ds::kM)] + p[ds::link(4, ds::kM)] + p[ds::kPayloadMass];
  m.X4 = mx4 * C4 - my4 * S4;
  m.Y4 = mx4 * S4 + my4 * C4;
  m.Xs = p[ds::link(2, ds::kMX)] + p[ds::link(3, ds::kMX)] + m.X4 + m.L2 * m.Mt;
  m.Ys = p[ds::link(2, ds::kMY)] + p[ds::link(3, ds::kMY)] + m.Y4;
  m.K = p[ds::link(2, ds::kZZ)] + p[ds::link(3, ds::kZZ)] + p[ds::link(4, ds::kZZ)] + il + m.L2 * m.L2 * m.Mt +
        2.0 * m.L2 * (p[ds::link(3, ds::kMX)] + m.X4);
  m.N = p[ds::link(4, ds::kZZ)] + il + m.L2 * m.X4;
  return m;
}

}  // namespace

double SignModified(float x, float eps) {
  if (x > eps) return 1.0;
  if (x < -eps) return -1.0;
  return x / eps;
}

void MassInertiaMatrix(double* q, double (*M)[4], DynPara P) {
  const double* p = P.para;
  const MassTerms m = massTerms(q, P);
  const double arm = m.C2 * m.Xs - m.S2 * m.Ys;
  const double zz4 = p[ds::link(4, ds::kZZ)] + p[ds::kPayloadInertia];

  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) M[i][j] = 0.0;
  }
  M[0][0] = p[ds::link(1, ds::kZZ)] + p[ds::link(1, ds::kIA)] + m.K +
            m.L1 * m.L1 * (p[ds::link(2, ds::kM)] + m.Mt) + 2.0 * m.L1 * arm;
  M[0][1] = M[1][0] = m.K + m.L1 * arm;
  M[0][3] = M[3][0] = m.N + m.L1 * (m.C2 * m.X4 - m.S2 * m.Y4);
  M[1][1] = m.K + p[ds::link(2, ds::kIA)];
  M[1][3] = M[3][1] = m.N;
  M[2][2] = p[ds::link(3, ds::kIA)] + m.Mt;
  M[3][3] = zz4 + p[ds::link(4, ds::kIA)];
}

void CenCorMatrix(double* q, double* qd, double* h, DynPara P) {
  const MassTerms m = massTerms(q, P);
  // Only q2 and q4 enter M. Both derivative matrices are symmetric and have
  // no row or column 3.
  const double e2 = -(m.S2 * m.Xs + m.C2 * m.Ys);  // d(C2·Xs - S2·Ys)/dq2
  const double e4 = -(m.C2 * m.Y4 + m.S2 * m.X4);  // d(C2·Xs - S2·Ys)/dq4 = d(C2·X4 - S2·Y4)/dq2,4
  const double dK4 = -2.0 * m.L2 * m.Y4;           // dK/dq4
  const double dN4 = -m.L2 * m.Y4;                 // dN/dq4

  double d2[4][4] = {};
  d2[0][0] = 2.0 * m.L1 * e2;
  d2[0][1] = d2[1][0] = m.L1 * e2;
  d2[0][3] = d2[3][0] = m.L1 * e4;

  double d4[4][4] = {};
  d4[0][0] = dK4 + 2.0 * m.L1 * e4;
  d4[0][1] = d4[1][0] = dK4 + m.L1 * e4;
  d4[0][3] = d4[3][0] = dN4 + m.L1 * e4;
  d4[1][1] = dK4;
  d4[1][3] = d4[3][1] = dN4;

  // h_i = sum_j,k (dM_ij/dq_k - dM_jk/dq_i / 2)·qd_j·qd_k
  double s2 = 0.0;
  double s4 = 0.0;
  for (int i = 0; i < 4; ++i) {
    double row = 0.0;
    for (int j = 0; j < 4; ++j) {
      row += (d2[i][j] * qd[1] + d4[i][j] * qd[3]) * qd[j];
      s2 += d2[i][j] * qd[i] * qd[j];
      s4 += d4[i][j] * qd[i] * qd[j];
    }
    h[i] = row;
  }
  h[1] -= 0.5 * s2;
  h[2] = 0.0;
  h[3] -= 0.5 * s4;
}

void Friction(double* qd, DynPara P, double* fv, double* fc) {
  for (int j = 0; j < 4; ++j) {
    fv[j] = P.para[ds::link(j + 1, ds::kFV)] * qd[j];
    fc[j] = P.para[ds::link(j + 1, ds::kFS)] * SignModified(static_cast<float>(qd[j]), kFrictionEps[j]);
  }
}

void Gravity(double* g, DynPara P) {
  const double* p = P.para;
  g[0] = 0.0;
  g[1] = 0.0;
  g[2] = kGravity * (p[ds::link(3, ds::kM)] + p[ds::link(4, ds::kM)] + p[ds::kPayloadMass]);
  g[3] = 0.0;
}
