#include "Dynamics/scara_jacobian.h"

#include "Dynamics/arm_lengths.h"
#include "Dynamics/scara_chain.h"
#include "common/math/matrix_ops.h"

namespace {

constexpr int kPrismatic = 2;  // joint 3

// Axes and origins of frames 1..4 in the base frame, and the point the
// Jacobian is taken at.
struct ChainFrames {
  double z[4][3];
  double p[4][3];
  double pE[3];
};

void crossInto(const double* a, const double* b, double* out) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

void buildFrames(const double* q, const double (*tool)[4], ChainFrames& f) {
  double link[4][16];
  DHTransMat(0.0, 0.0, 0.0, q[0], link[0]);
  DHTransMat(0.0, armL1(), 0.0, q[1], link[1]);
  DHTransMat(0.0, armL2(), q[2], 0.0, link[2]);
  DHTransMat(0.0, 0.0, 0.0, q[3], link[3]);

  double chain[4][16];
  for (int k = 0; k < 16; ++k) chain[0][k] = link[0][k];
  for (int i = 1; i < 4; ++i) MatMultiplyN(chain[i - 1], link[i], 4, 4, 4, chain[i]);

  for (int i = 0; i < 4; ++i) {
    for (int r = 0; r < 3; ++r) {
      f.z[i][r] = chain[i][4 * r + 2];
      f.p[i][r] = chain[i][4 * r + 3];
    }
  }
  const double* T04 = chain[3];
  for (int r = 0; r < 3; ++r) {
    f.pE[r] = T04[4 * r + 3];
    if (tool != nullptr) {
      for (int k = 0; k < 3; ++k) f.pE[r] += T04[4 * r + k] * tool[k][3];
    }
  }
}

// Linear velocity column of joint j for the point x.
void linearColumn(const ChainFrames& f, int j, const double* x, double* out) {
  if (j == kPrismatic) {
    for (int r = 0; r < 3; ++r) out[r] = f.z[j][r];
    return;
  }
  const double arm[3] = {x[0] - f.p[j][0], x[1] - f.p[j][1], x[2] - f.p[j][2]};
  crossInto(f.z[j], arm, out);
}

void jacobian(const ChainFrames& f, double (*J)[4]) {
  for (int j = 0; j < 4; ++j) {
    double v[3];
    linearColumn(f, j, f.pE, v);
    J[0][j] = v[0];
    J[1][j] = v[1];
    J[2][j] = v[2];
    J[3][j] = j == kPrismatic ? 0.0 : f.z[j][2];
  }
}

void jacobianRate(const ChainFrames& f, const double* qd, double (*Jd)[4]) {
  // Velocity of the Jacobian's point, and angular velocity and origin velocity
  // of each frame.
  double vE[3] = {};
  double w[4][3] = {};
  double v[4][3] = {};
  for (int j = 0; j < 4; ++j) {
    double col[3];
    linearColumn(f, j, f.pE, col);
    for (int r = 0; r < 3; ++r) vE[r] += col[r] * qd[j];
  }
  double wSum[3] = {};
  for (int i = 0; i < 4; ++i) {
    if (i != kPrismatic) {
      for (int r = 0; r < 3; ++r) wSum[r] += qd[i] * f.z[i][r];
    }
    for (int r = 0; r < 3; ++r) w[i][r] = wSum[r];
    for (int j = 0; j <= i; ++j) {
      double col[3];
      linearColumn(f, j, f.p[i], col);
      for (int r = 0; r < 3; ++r) v[i][r] += col[r] * qd[j];
    }
  }

  for (int i = 0; i < 4; ++i) {
    double zDot[3];
    crossInto(w[i], f.z[i], zDot);
    double lin[3];
    if (i == kPrismatic) {
      for (int r = 0; r < 3; ++r) lin[r] = zDot[r];
    } else {
      const double arm[3] = {f.pE[0] - f.p[i][0], f.pE[1] - f.p[i][1], f.pE[2] - f.p[i][2]};
      const double rel[3] = {vE[0] - v[i][0], vE[1] - v[i][1], vE[2] - v[i][2]};
      double a[3];
      double b[3];
      crossInto(zDot, arm, a);
      crossInto(f.z[i], rel, b);
      for (int r = 0; r < 3; ++r) lin[r] = a[r] + b[r];
    }
    Jd[0][i] = lin[0];
    Jd[1][i] = lin[1];
    Jd[2][i] = lin[2];
    Jd[3][i] = i == kPrismatic ? 0.0 : zDot[2];
  }
}

void mul4(const double (*M)[4], const double* x, double* out) {
  for (int r = 0; r < 4; ++r) out[r] = M[r][0] * x[0] + M[r][1] * x[1] + M[r][2] * x[2] + M[r][3] * x[3];
}

}  // namespace

void Jacobdot_SCARA(double* q, double* qd, double (*J)[4], double (*Jd)[4], double* /*extra*/) {
  ChainFrames f;
  buildFrames(q, nullptr, f);
  jacobian(f, J);
  jacobianRate(f, qd, Jd);
}

void calcAB_SCARA(double* q, double* t, double* c, double* A, double* B) {
  ChainFrames f;
  buildFrames(q, nullptr, f);
  double J[4][4];
  jacobian(f, J);
  double Jinv[4][4];
  if (lu_inv(&J[0][0], 4, &Jinv[0][0]) == -1) MatrixInv(4, 4, &J[0][0], &Jinv[0][0]);

  t[3] = t[5];
  mul4(Jinv, t, A);

  double Jd[4][4];
  jacobianRate(f, A, Jd);
  double JdA[4];
  mul4(Jd, A, JdA);
  const double rhs[4] = {c[0] - JdA[0], c[1] - JdA[1], c[2] - JdA[2], c[3] - JdA[3]};
  mul4(Jinv, rhs, B);
}

void calcTCPAcc(double* q, double* qd, double* qdd, double* v, double* a, double (*T)[4]) {
  ChainFrames f;
  buildFrames(q, T, f);
  double J[4][4];
  double Jd[4][4];
  jacobian(f, J);
  jacobianRate(f, qd, Jd);
  mul4(J, qd, v);
  double Jq[4];
  double Jdq[4];
  mul4(J, qdd, Jq);
  mul4(Jd, qd, Jdq);
  for (int r = 0; r < 4; ++r) a[r] = Jq[r] + Jdq[r];
}
