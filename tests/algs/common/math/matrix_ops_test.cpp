// Small-matrix algebra: products, LU inverse, SVD and pseudo-inverse.
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/math/matrix_ops.h"

namespace {

using Matrix = std::vector<double>;  // row-major, sized by the test

constexpr double kSentinel = -12345.0;

Matrix multiply(const Matrix& a, const Matrix& b, int m, int n, int p) {
  Matrix c(m * p, 0.0);
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < p; ++j)
      for (int k = 0; k < n; ++k) c[i * p + j] += a[i * n + k] * b[k * p + j];
  return c;
}

Matrix transpose(const Matrix& a, int m, int n) {
  Matrix t(n * m);
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j) t[j * m + i] = a[i * n + j];
  return t;
}

Matrix identity(int n) {
  Matrix id(n * n, 0.0);
  for (int i = 0; i < n; ++i) id[i * n + i] = 1.0;
  return id;
}

double maxAbs(const Matrix& a) {
  double m = 0.0;
  for (const double x : a) m = std::max(m, std::fabs(x));
  return m;
}

double maxDiff(const Matrix& a, const Matrix& b) {
  double d = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) d = std::max(d, std::fabs(a[i] - b[i]));
  return d;
}

std::string show(const Matrix& a, int cols) {
  std::ostringstream out;
  for (std::size_t i = 0; i < a.size(); ++i) out << (i % cols == 0 ? "\n  " : " ") << a[i];
  return out.str();
}

Matrix randomMatrix(std::mt19937_64& rng, int m, int n) {
  std::uniform_real_distribution<double> d(-10.0, 10.0);
  Matrix a(m * n);
  for (double& x : a) x = d(rng);
  return a;
}

TEST(MatrixOps, CrossProduct) {
  const struct {
    double a[3];
    double b[3];
    double want[3];
  } cases[] = {
      {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
      {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
      {{1, 2, 3}, {4, 5, 6}, {-3, 6, -3}},
      {{2, 4, 6}, {1, 2, 3}, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    double a[3] = {c.a[0], c.a[1], c.a[2]};
    double b[3] = {c.b[0], c.b[1], c.b[2]};
    double out[3];
    cross(a, b, out);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(out[i], c.want[i]) << "component " << i;
  }
  // The result may land on one of the inputs.
  double a[3] = {1, 2, 3};
  double b[3] = {4, 5, 6};
  cross(a, b, a);
  EXPECT_EQ(a[0], -3);
  EXPECT_EQ(a[1], 6);
  EXPECT_EQ(a[2], -3);
}

TEST(MatrixOps, ProductAndTranspose) {
  Matrix a = {1, 2, 3, 4, 5, 6};     // 2 x 3
  Matrix b = {7, 8, 9, 10, 11, 12};  // 3 x 2
  Matrix c(4, kSentinel);
  MatMultiplyN(a.data(), b.data(), 2, 3, 2, c.data());
  EXPECT_EQ(c, (Matrix{58, 64, 139, 154}));

  Matrix t(6, kSentinel);
  MatrixTranp(a.data(), 2, 3, t.data());
  EXPECT_EQ(t, (Matrix{1, 4, 2, 5, 3, 6}));

  // No rows: nothing is written.
  Matrix untouched(4, kSentinel);
  MatMultiplyN(a.data(), b.data(), 0, 3, 2, untouched.data());
  MatrixTranp(a.data(), 0, 3, untouched.data());
  EXPECT_EQ(untouched, Matrix(4, kSentinel));

  // No inner dimension: the product is cleared.
  MatMultiplyN(a.data(), b.data(), 2, 0, 2, c.data());
  EXPECT_EQ(c, Matrix(4, 0.0));
}

TEST(MatrixOps, LuInverseOfTheDocumentedMatrix) {
  Matrix a = {2, 1, 0, 0, 1, 3, 1, 0, 0, 1, 4, 1, 0, 0, 1, 5};
  Matrix inv(16, kSentinel);
  ASSERT_EQ(lu_inv(a.data(), 4, inv.data()), 0);
  Matrix want = {52, -19, 5, -1, -19, 38, -10, 2, 5, -10, 25, -5, -1, 2, -5, 18};
  for (double& x : want) x /= 85.0;
  EXPECT_LT(maxDiff(inv, want), 1e-15) << show(inv, 4);
  EXPECT_EQ(a, (Matrix{2, 1, 0, 0, 1, 3, 1, 0, 0, 1, 4, 1, 0, 0, 1, 5})) << "the input changed";
}

TEST(MatrixOps, LuInverseRefusesSmallPivotsAndBadSizes) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* what;
    Matrix a;
    int n;
  } cases[] = {
      {"zero first pivot, though invertible", {0, 1, 1, 0}, 2},
      {"first pivot below 1e-10", {9e-11, 1, 1, 1}, 2},
      {"singular: second pivot zero", {1, 2, 2, 4}, 2},
      {"singular 3 x 3", {1, 2, 3, 4, 5, 6, 7, 8, 9}, 3},
      {"NaN pivot", {kNaN, 1, 1, 1}, 2},
      {"NaN further down", {1, 2, 3, kNaN}, 2},
      {"size 0", {1}, 0},
      {"size 8", Matrix(64, 1.0), 8},
      {"negative size", {1}, -3},
  };
  for (const auto& c : cases) {
    Matrix a = c.a;
    Matrix inv(64, kSentinel);
    EXPECT_EQ(lu_inv(a.data(), c.n, inv.data()), -1) << c.what;
    if (c.n < 1 || c.n > 7) {
      EXPECT_EQ(inv, Matrix(64, kSentinel)) << c.what << ": output written";
    }
  }
}

// Property: for diagonally dominant matrices of every size, A·A⁻¹ = I.
TEST(MatrixOps, LuInverseTimesMatrixIsIdentity) {
  std::mt19937_64 rng(3);
  for (int n = 1; n <= 7; ++n) {
    for (int trial = 0; trial < 50; ++trial) {
      Matrix a = randomMatrix(rng, n, n);
      for (int i = 0; i < n; ++i) a[i * n + i] += (a[i * n + i] < 0 ? -80.0 : 80.0);
      Matrix inv(n * n, kSentinel);
      ASSERT_EQ(lu_inv(a.data(), n, inv.data()), 0) << show(a, n);
      EXPECT_LT(maxDiff(multiply(a, inv, n, n, n), identity(n)), 1e-13) << "n = " << n << show(a, n);
    }
  }
}

TEST(MatrixOps, TriangularInverseInPlace) {
  // L = [[1,0,0],[2,1,0],[3,4,1]], U = [[2,1,1],[0,4,2],[0,0,5]] packed together.
  double lu[kMatrixMaxDim][kMatrixMaxDim] = {{2, 1, 1}, {2, 4, 2}, {3, 4, 5}};
  tri_matrix_inv(lu, 3);
  const double lInv[3][3] = {{1, 0, 0}, {-2, 1, 0}, {5, -4, 1}};
  const double uInv[3][3] = {{0.5, -0.125, -0.05}, {0, 0.25, -0.1}, {0, 0, 0.2}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const double want = i > j ? lInv[i][j] : uInv[i][j];
      EXPECT_NEAR(lu[i][j], want, 1e-15) << "(" << i << "," << j << ")";
    }
  }

  double untouched[kMatrixMaxDim][kMatrixMaxDim] = {{2, 1}, {3, 4}};
  tri_matrix_inv(untouched, 8);
  tri_matrix_inv(untouched, 0);
  EXPECT_EQ(untouched[0][0], 2);
  EXPECT_EQ(untouched[1][0], 3);
}

TEST(MatrixOps, PlaneRotation) {
  const struct {
    double f, g;
    double r, z, c, s;
  } cases[] = {
      {4, 3, 5, 0.6, 0.8, 0.6},           // |f| > |g|: z = s
      {3, 4, 5, 1.0 / 0.6, 0.6, 0.8},     // else z = 1/c
      {-4, 3, -5, -0.6, 0.8, -0.6},       // r takes the sign of the larger one
      {3, -4, -5, 1.0 / -0.6, -0.6, 0.8},
      {0, 2, 2, 1.0, 0, 1},               // c = 0: z = 1
      {0, 0, 0, 1.0, 1, 0},
  };
  for (const auto& c : cases) {
    double fg[2] = {c.f, c.g};
    double cs[2] = {kSentinel, kSentinel};
    sssfb(fg, cs);
    EXPECT_NEAR(fg[0], c.r, 1e-15) << c.f << ", " << c.g;
    EXPECT_NEAR(fg[1], c.z, 1e-15) << c.f << ", " << c.g;
    EXPECT_NEAR(cs[0], c.c, 1e-15) << c.f << ", " << c.g;
    EXPECT_NEAR(cs[1], c.s, 1e-15) << c.f << ", " << c.g;
  }
}

TEST(MatrixOps, SvdOfTheDocumentedDiagonal) {
  Matrix a = {3, 0, 0, -4};
  Matrix u(4, kSentinel), v(4, kSentinel), w1(4, kSentinel), w2(4, kSentinel);
  svd(2, 2, a.data(), u.data(), v.data(), w1.data(), w2.data());
  EXPECT_EQ(a, (Matrix{4, 0, 0, 3}));
  // U·S·Vᵀ gives back the input.
  EXPECT_LT(maxDiff(multiply(multiply(u, a, 2, 2, 2), v, 2, 2, 2), (Matrix{3, 0, 0, -4})), 1e-15)
      << show(u, 2) << show(v, 2);
  EXPECT_EQ(w1, u);
  EXPECT_EQ(w2, v);
}

// Property over every size 1..7 x 1..7: U and Vᵀ orthogonal, S diagonal with
// non-negative values in non-increasing order, U·S·Vᵀ = A.
TEST(MatrixOps, SvdFactorsEveryShape) {
  std::mt19937_64 rng(5);
  for (int m = 1; m <= 7; ++m) {
    for (int n = 1; n <= 7; ++n) {
      for (int trial = 0; trial < 20; ++trial) {
        Matrix a = randomMatrix(rng, m, n);
        if (trial % 5 == 4 && m > 1) {  // rank-deficient: last row repeats the first
          for (int j = 0; j < n; ++j) a[(m - 1) * n + j] = a[j];
        }
        Matrix s = a;
        Matrix u(m * m, kSentinel), vt(n * n, kSentinel);
        svd(m, n, s.data(), u.data(), vt.data(), u.data(), vt.data());
        const std::string where = "m = " + std::to_string(m) + ", n = " + std::to_string(n) + show(a, n);
        EXPECT_LT(maxDiff(multiply(transpose(u, m, m), u, m, m, m), identity(m)), 1e-12) << where;
        EXPECT_LT(maxDiff(multiply(vt, transpose(vt, n, n), n, n, n), identity(n)), 1e-12) << where;
        for (int i = 0; i < m; ++i) {
          for (int j = 0; j < n; ++j) {
            if (i != j) {
              EXPECT_EQ(s[i * n + j], 0.0) << where << " S(" << i << "," << j << ")";
            }
          }
        }
        for (int i = 0; i < std::min(m, n); ++i) {
          EXPECT_GE(s[i * n + i], 0.0) << where;
          if (i > 0) {
            EXPECT_LE(s[i * n + i], s[(i - 1) * n + i - 1]) << where;
          }
        }
        // Off-diagonals count as zero at 1e-8 of their neighbours, so the
        // product comes back to about that share of the largest entry.
        EXPECT_LT(maxDiff(multiply(multiply(u, s, m, m, n), vt, m, n, n), a), 1e-7 * maxAbs(a)) << where;
      }
    }
  }
}

TEST(MatrixOps, SvdOfZeroAndOfNaNEnds) {
  Matrix zero(12, 0.0);
  Matrix u(9, kSentinel), vt(16, kSentinel);
  svd(3, 4, zero.data(), u.data(), vt.data(), u.data(), vt.data());
  EXPECT_EQ(zero, Matrix(12, 0.0));
  EXPECT_LT(maxDiff(multiply(transpose(u, 3, 3), u, 3, 3, 3), identity(3)), 1e-15);

  // A NaN cannot converge; the sweep budget still ends the routine, and each
  // output holds finite values or is left as it was.
  Matrix bad = {1, 2, std::numeric_limits<double>::quiet_NaN(), 4};
  Matrix u2(4, kSentinel), vt2(4, kSentinel);
  svd(2, 2, bad.data(), u2.data(), vt2.data(), u2.data(), vt2.data());
  for (const Matrix* out : {&u2, &vt2}) {
    const bool finite = std::all_of(out->begin(), out->end(), [](double x) { return std::isfinite(x); });
    EXPECT_TRUE(finite || *out == Matrix(4, kSentinel)) << show(*out, 2);
  }
  Matrix inv(4, kSentinel);
  MatrixInv(2, 2, bad.data(), inv.data());
  EXPECT_EQ(inv, Matrix(4, kSentinel)) << show(inv, 2);
}

TEST(MatrixOps, SvdAndPseudoInverseLeaveOutputsAloneForBadSizes) {
  const int sizes[][2] = {{0, 3}, {3, 0}, {8, 2}, {2, 8}, {-1, 2}};
  for (const auto& size : sizes) {
    Matrix a(64, 1.0), u(64, kSentinel), v(64, kSentinel), w1(64, kSentinel), w2(64, kSentinel);
    svd(size[0], size[1], a.data(), u.data(), v.data(), w1.data(), w2.data());
    EXPECT_EQ(a, Matrix(64, 1.0)) << size[0] << " x " << size[1];
    EXPECT_EQ(u, Matrix(64, kSentinel)) << size[0] << " x " << size[1];
    EXPECT_EQ(v, Matrix(64, kSentinel)) << size[0] << " x " << size[1];
    EXPECT_EQ(w1, Matrix(64, kSentinel)) << size[0] << " x " << size[1];
    Matrix inv(64, kSentinel);
    MatrixInv(size[0], size[1], a.data(), inv.data());
    EXPECT_EQ(inv, Matrix(64, kSentinel)) << size[0] << " x " << size[1];
  }
}

TEST(MatrixOps, SvdWriteBack) {
  // m < n: the superdiagonal value after the last singular value is kept too.
  Matrix a(6, kSentinel);
  double e[3] = {0.5, 0.25, 0.0};
  double s[3] = {3.0, 2.0, 0.0};
  Matrix v = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  pppfb(a.data(), e, s, v.data(), 2, 3);
  EXPECT_EQ(a, (Matrix{3, 0.5, 0, 0, 2, 0.25}));
  EXPECT_EQ(v, (Matrix{1, 4, 7, 2, 5, 8, 3, 6, 9}));

  Matrix b(6, kSentinel);
  Matrix v2 = {1, 2, 3, 4};
  pppfb(b.data(), e, s, v2.data(), 3, 2);
  EXPECT_EQ(b, (Matrix{3, 0.5, 0, 2, 0, 0}));
  EXPECT_EQ(v2, (Matrix{1, 3, 2, 4}));
}

// The four Penrose conditions define the pseudo-inverse X of A; tol is relative.
void expectPseudoInverse(const Matrix& a, const Matrix& x, int m, int n, double tol) {
  const Matrix ax = multiply(a, x, m, n, m);
  const Matrix xa = multiply(x, a, n, m, n);
  EXPECT_LT(maxDiff(multiply(ax, a, m, m, n), a), tol * maxAbs(a)) << "A·X·A != A" << show(x, m);
  EXPECT_LT(maxDiff(multiply(xa, x, n, n, m), x), tol * maxAbs(x)) << "X·A·X != X" << show(x, m);
  EXPECT_LT(maxDiff(transpose(ax, m, m), ax), tol) << "A·X not symmetric" << show(x, m);
  EXPECT_LT(maxDiff(transpose(xa, n, n), xa), tol) << "X·A not symmetric" << show(x, m);
}

TEST(MatrixOps, PseudoInverseOfSingularAndRectangularMatrices) {
  Matrix a = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  Matrix x(9, kSentinel);
  MatrixInv(3, 3, a.data(), x.data());
  expectPseudoInverse(a, x, 3, 3, 1e-12);
  Matrix want = {-23, -6, 11, -2, 0, 2, 19, 6, -7};
  for (double& w : want) w /= 36.0;
  EXPECT_LT(maxDiff(x, want), 1e-12) << show(x, 3);

  std::mt19937_64 rng(9);
  const int shapes[][2] = {{2, 3}, {3, 2}, {4, 7}, {7, 4}, {6, 6}, {1, 5}};
  for (const auto& shape : shapes) {
    const int m = shape[0], n = shape[1];
    Matrix r = randomMatrix(rng, m, n);
    Matrix xr(n * m, kSentinel);
    MatrixInv(m, n, r.data(), xr.data());
    expectPseudoInverse(r, xr, m, n, 1e-7);
  }
}

TEST(MatrixOps, PseudoInverseOfAnInvertibleMatrixIsItsInverse) {
  Matrix a = {4, 1, 0, 2, 1, 5, 1, 0, 0, 1, 6, 1, 2, 0, 1, 7};
  Matrix lu(16), pinv(16);
  ASSERT_EQ(lu_inv(a.data(), 4, lu.data()), 0);
  MatrixInv(4, 4, a.data(), pinv.data());
  EXPECT_LT(maxDiff(lu, pinv), 1e-8 * maxAbs(lu)) << show(pinv, 4);
}

}  // namespace
