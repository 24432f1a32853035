#include "common/math/matrix_ops.h"

#include <cmath>

namespace {

constexpr double kPivotMin = 1e-10;
constexpr double kSingularMin = 1e-8;

inline bool validDim(int d) { return d >= 1 && d <= kMatrixMaxDim; }

}  // namespace

void cross(double* a, double* b, double* out) {
  const double x = a[1] * b[2] - a[2] * b[1];
  const double y = a[2] * b[0] - a[0] * b[2];
  const double z = a[0] * b[1] - a[1] * b[0];
  out[0] = x;
  out[1] = y;
  out[2] = z;
}

void MatMultiplyN(double* A, double* B, int m, int n, int p, double* C) {
  if (m < 1) return;
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < p; ++j) {
      double& c = C[i * p + j];
      c = 0.0;
      for (int k = 0; k < n; ++k) c += A[i * n + k] * B[k * p + j];
    }
  }
}

void MatrixTranp(double* A, int m, int n, double* T) {
  if (m < 1) return;
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < n; ++j) T[j * m + i] = A[i * n + j];
  }
}

void tri_matrix_inv(double (*LU)[kMatrixMaxDim], int n) {
  if (!validDim(n)) return;
  // L⁻¹ row by row; within a row left to right, so the entries still needed
  // (right of the current one) are the original L.
  for (int i = 1; i < n; ++i) {
    for (int j = 0; j < i; ++j) {
      double sum = LU[i][j];
      for (int t = j + 1; t < i; ++t) sum += LU[i][t] * LU[t][j];
      LU[i][j] = -sum;
    }
  }
  // U⁻¹ from the bottom row up; within a row right to left, the diagonal last.
  for (int i = n - 1; i >= 0; --i) {
    const double d = LU[i][i];
    for (int j = n - 1; j > i; --j) {
      double sum = 0.0;
      for (int t = i + 1; t <= j; ++t) sum += LU[i][t] * LU[t][j];
      LU[i][j] = -sum / d;
    }
    LU[i][i] = 1.0 / d;
  }
}

int lu_inv(double* A, int n, double* Ainv) {
  if (!validDim(n)) return -1;
  // Written so that a NaN pivot fails as well.
  if (!(std::fabs(A[0]) >= kPivotMin)) return -1;

  double lu[kMatrixMaxDim][kMatrixMaxDim] = {};
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) lu[i][j] = A[i * n + j];
  }
  for (int i = 1; i < n; ++i) lu[i][0] /= lu[0][0];
  for (int k = 1; k < n; ++k) {
    for (int j = k; j < n; ++j) {
      double sum = lu[k][j];
      for (int t = 0; t < k; ++t) sum -= lu[k][t] * lu[t][j];
      lu[k][j] = sum;
    }
    if (!(std::fabs(lu[k][k]) >= kPivotMin)) return -1;
    for (int i = k + 1; i < n; ++i) {
      double sum = lu[i][k];
      for (int t = 0; t < k; ++t) sum -= lu[i][t] * lu[t][k];
      lu[i][k] = sum / lu[k][k];
    }
  }

  tri_matrix_inv(lu, n);

  // A⁻¹ = U⁻¹·L⁻¹: the upper part of U⁻¹ meets the lower part of L⁻¹ (unit diagonal).
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      double sum = 0.0;
      for (int t = i > j ? i : j; t < n; ++t) sum += lu[i][t] * (t == j ? 1.0 : lu[t][j]);
      Ainv[i * n + j] = sum;
    }
  }
  return 0;
}

void MatrixInv(int m, int n, double* A, double* Ainv) {
  if (!validDim(m) || !validDim(n)) return;
  for (int i = 0; i < m * n; ++i) {
    if (!std::isfinite(A[i])) return;  // the decomposition refuses it too
  }
  constexpr int kCells = kMatrixMaxDim * kMatrixMaxDim;
  double s[kCells];
  double u[kCells];
  double vt[kCells];
  for (int i = 0; i < m * n; ++i) s[i] = A[i];
  svd(m, n, s, u, vt, u, vt);

  double ut[kCells];
  double v[kCells];
  MatrixTranp(u, m, m, ut);
  MatrixTranp(vt, n, n, v);

  // S⁺ (n x m): the transpose of S with every value above 1e-8 inverted, the
  // rest taken as zero.
  double sPlus[kCells];
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < n; ++j) {
      const double x = s[i * n + j];
      sPlus[j * m + i] = std::fabs(x) > kSingularMin ? 1.0 / x : 0.0;
    }
  }

  double vs[kCells];
  MatMultiplyN(v, sPlus, n, n, m, vs);
  MatMultiplyN(vs, ut, n, m, m, Ainv);
}
