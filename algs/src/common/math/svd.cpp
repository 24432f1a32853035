// Singular value decomposition of small matrices: Householder reduction to
// bidiagonal form, then implicitly shifted QR sweeps (Golub-Kahan-Reinsch).
#include <algorithm>
#include <cmath>

#include "common/math/matrix_ops.h"

namespace {

// An off-diagonal (or diagonal) element counts as zero at this size relative
// to its neighbours.
constexpr double kTolerance = 1e-8;
// Sweeps allowed while one singular value converges; the count starts again
// for the next value.
constexpr int kSweepBudget = 60;

inline bool validDim(int d) { return d >= 1 && d <= kMatrixMaxDim; }

// Row-major views on the caller's arrays.
struct View {
  double* data;
  int cols;
  double& operator()(int i, int j) const { return data[i * cols + j]; }
};

struct Rotation {
  double c;
  double s;
};

// Rotates f and g so that g becomes zero; f receives r.
inline Rotation rotate(double& f, double g) {
  double fg[2] = {f, g};
  double cs[2];
  sssfb(fg, cs);
  f = fg[0];
  return {cs[0], cs[1]};
}

// Applies the rotation to columns j and k of an r-row matrix.
inline void rotateColumns(View x, int rows, int j, int k, Rotation rot) {
  for (int i = 0; i < rows; ++i) {
    const double t = rot.c * x(i, j) + rot.s * x(i, k);
    x(i, k) = rot.c * x(i, k) - rot.s * x(i, j);
    x(i, j) = t;
  }
}

inline void swapColumns(View x, int rows, int j, int k) {
  for (int i = 0; i < rows; ++i) std::swap(x(i, j), x(i, k));
}

}  // namespace

void sssfb(double* fg, double* cs) {
  const double f = fg[0];
  const double g = fg[1];
  double r = 0.0;
  double c = 1.0;
  double s = 0.0;
  if (std::fabs(f) + std::fabs(g) != 0.0) {
    r = std::sqrt(f * f + g * g);
    if ((std::fabs(f) > std::fabs(g) ? f : g) < 0.0) r = -r;
    c = f / r;
    s = g / r;
  }
  cs[0] = c;
  cs[1] = s;
  fg[0] = r;
  if (std::fabs(f) > std::fabs(g)) {
    fg[1] = s;
  } else {
    fg[1] = c != 0.0 ? 1.0 / c : 1.0;
  }
}

void pppfb(double* a, double* e, double* s, double* v, int m, int n) {
  if (!validDim(m) || !validDim(n)) return;
  const View A{a, n};
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < n; ++j) A(i, j) = 0.0;
  }
  const int k = std::min(m, n);
  for (int i = 0; i < k; ++i) {
    A(i, i) = s[i];
    if (i + 1 < n) A(i, i + 1) = e[i];  // the last one exists only when m < n
  }
  const View V{v, n};
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) std::swap(V(i, j), V(j, i));
  }
}

void svd(int m, int n, double* a, double* u, double* v, double* w1, double* w2) {
  if (!validDim(m) || !validDim(n)) return;
  // A value that is not finite would spread NaN through every output.
  for (int i = 0; i < m * n; ++i) {
    if (!std::isfinite(a[i])) return;
  }
  const View A{a, n};
  const View U{u, m};
  const View V{v, n};
  double s[kMatrixMaxDim + 1] = {};
  double e[kMatrixMaxDim + 1] = {};
  double work[kMatrixMaxDim] = {};

  // Householder reduction: reflections from the left clear the columns below
  // the diagonal (kept for U), from the right the rows beyond the
  // superdiagonal (kept for V).
  const int nct = std::min(m - 1, n);
  const int nrt = std::max(0, std::min(n - 2, m));
  for (int l = 0; l < std::max(nct, nrt); ++l) {
    if (l < nct) {
      double norm = 0.0;
      for (int i = l; i < m; ++i) norm += A(i, l) * A(i, l);
      s[l] = std::sqrt(norm);
      if (s[l] != 0.0) {
        if (A(l, l) < 0.0) s[l] = -s[l];
        for (int i = l; i < m; ++i) A(i, l) /= s[l];
        A(l, l) += 1.0;
      }
      s[l] = -s[l];
    }
    for (int j = l + 1; j < n; ++j) {
      if (l < nct && s[l] != 0.0) {
        double t = 0.0;
        for (int i = l; i < m; ++i) t -= A(i, l) * A(i, j);
        t /= A(l, l);
        for (int i = l; i < m; ++i) A(i, j) += t * A(i, l);
      }
      e[j] = A(l, j);
    }
    if (l < nct) {
      for (int i = l; i < m; ++i) U(i, l) = A(i, l);
    }
    if (l < nrt) {
      double norm = 0.0;
      for (int i = l + 1; i < n; ++i) norm += e[i] * e[i];
      e[l] = std::sqrt(norm);
      if (e[l] != 0.0) {
        if (e[l + 1] < 0.0) e[l] = -e[l];
        for (int i = l + 1; i < n; ++i) e[i] /= e[l];
        e[l + 1] += 1.0;
      }
      e[l] = -e[l];
      if (l + 1 < m && e[l] != 0.0) {
        for (int i = l + 1; i < m; ++i) work[i] = 0.0;
        for (int j = l + 1; j < n; ++j) {
          for (int i = l + 1; i < m; ++i) work[i] += e[j] * A(i, j);
        }
        for (int j = l + 1; j < n; ++j) {
          const double t = -e[j] / e[l + 1];
          for (int i = l + 1; i < m; ++i) A(i, j) += t * work[i];
        }
      }
      for (int i = l + 1; i < n; ++i) V(i, l) = e[i];
    }
  }

  // The bidiagonal matrix of order p: diagonal s, superdiagonal e.
  const int p = std::min(n, m + 1);
  if (nct < n) s[nct] = A(nct, nct);
  if (m < p) s[p - 1] = 0.0;
  if (nrt + 1 < p) e[nrt] = A(nrt, p - 1);
  e[p - 1] = 0.0;

  // U from the stored reflections.
  for (int j = nct; j < m; ++j) {
    for (int i = 0; i < m; ++i) U(i, j) = 0.0;
    U(j, j) = 1.0;
  }
  for (int l = nct - 1; l >= 0; --l) {
    if (s[l] != 0.0) {
      for (int j = l + 1; j < m; ++j) {
        double t = 0.0;
        for (int i = l; i < m; ++i) t -= U(i, l) * U(i, j);
        t /= U(l, l);
        for (int i = l; i < m; ++i) U(i, j) += t * U(i, l);
      }
      for (int i = l; i < m; ++i) U(i, l) = -U(i, l);
      U(l, l) += 1.0;
      for (int i = 0; i < l; ++i) U(i, l) = 0.0;
    } else {
      for (int i = 0; i < m; ++i) U(i, l) = 0.0;
      U(l, l) = 1.0;
    }
  }

  // V likewise.
  for (int l = n - 1; l >= 0; --l) {
    if (l < nrt && e[l] != 0.0) {
      for (int j = l + 1; j < n; ++j) {
        double t = 0.0;
        for (int i = l + 1; i < n; ++i) t -= V(i, l) * V(i, j);
        t /= V(l + 1, l);
        for (int i = l + 1; i < n; ++i) V(i, j) += t * V(i, l);
      }
    }
    for (int i = 0; i < n; ++i) V(i, l) = 0.0;
    V(l, l) = 1.0;
  }

  // Diagonalise from the bottom: `top` values are still open. Every pass that
  // does not deliver a value spends one of the budget, so the loop ends even
  // on a matrix holding NaN.
  int top = p;
  int budget = kSweepBudget;
  while (top > 0 && budget > 0) {
    // l: the lowest index above which the bidiagonal splits off.
    int l = top - 2;
    for (; l >= 0; --l) {
      if (std::fabs(e[l]) <= kTolerance * (std::fabs(s[l]) + std::fabs(s[l + 1]))) {
        e[l] = 0.0;
        break;
      }
    }
    enum { kDeflateBottom, kSplitAtZero, kQrSweep, kConverged } step;
    if (l == top - 2) {
      step = kConverged;
    } else {
      int ls = top - 1;
      for (; ls > l; --ls) {
        double test = 0.0;
        if (ls != top - 1) test += std::fabs(e[ls]);
        if (ls != l + 1) test += std::fabs(e[ls - 1]);
        if (std::fabs(s[ls]) <= kTolerance * test) {
          s[ls] = 0.0;
          break;
        }
      }
      if (ls == l) {
        step = kQrSweep;
      } else if (ls == top - 1) {
        step = kDeflateBottom;
      } else {
        step = kSplitAtZero;
        l = ls;
      }
    }
    ++l;

    switch (step) {
      case kDeflateBottom: {  // s[top-1] is zero: chase e[top-2] out through V
        double f = e[top - 2];
        e[top - 2] = 0.0;
        for (int k = top - 2; k >= l; --k) {
          const Rotation rot = rotate(s[k], f);
          if (k != l) {
            f = -rot.s * e[k - 1];
            e[k - 1] *= rot.c;
          }
          rotateColumns(V, n, k, top - 1, rot);
        }
        --budget;
        break;
      }
      case kSplitAtZero: {  // s[l-1] is zero: chase e[l-1] out through U
        double f = e[l - 1];
        e[l - 1] = 0.0;
        for (int k = l; k < top; ++k) {
          const Rotation rot = rotate(s[k], f);
          f = -rot.s * e[k];
          e[k] *= rot.c;
          if (k < m) rotateColumns(U, m, k, l - 1, rot);
        }
        --budget;
        break;
      }
      case kQrSweep: {
        // Shift from the trailing 2 x 2 block, all scaled by the largest entry.
        const double scale = std::max({std::fabs(s[top - 1]), std::fabs(s[top - 2]), std::fabs(e[top - 2]),
                                       std::fabs(s[l]), std::fabs(e[l])});
        const double sm = s[top - 1] / scale;
        const double smm1 = s[top - 2] / scale;
        const double emm1 = e[top - 2] / scale;
        const double sl = s[l] / scale;
        const double el = e[l] / scale;
        const double b = ((smm1 + sm) * (smm1 - sm) + emm1 * emm1) / 2.0;
        const double c = (sm * emm1) * (sm * emm1);
        double shift = 0.0;
        if (b != 0.0 || c != 0.0) {
          shift = std::sqrt(b * b + c);
          if (b < 0.0) shift = -shift;
          shift = c / (b + shift);
        }
        double f = (sl + sm) * (sl - sm) + shift;
        double g = sl * el;
        for (int k = l; k < top - 1; ++k) {
          Rotation rot = rotate(f, g);
          if (k != l) e[k - 1] = f;
          f = rot.c * s[k] + rot.s * e[k];
          e[k] = rot.c * e[k] - rot.s * s[k];
          g = rot.s * s[k + 1];
          s[k + 1] *= rot.c;
          rotateColumns(V, n, k, k + 1, rot);
          rot = rotate(f, g);
          s[k] = f;
          f = rot.c * e[k] + rot.s * s[k + 1];
          s[k + 1] = rot.c * s[k + 1] - rot.s * e[k];
          g = rot.s * e[k + 1];
          e[k + 1] *= rot.c;
          if (k + 1 < m) rotateColumns(U, m, k, k + 1, rot);
        }
        e[top - 2] = f;
        --budget;
        break;
      }
      case kConverged: {
        if (s[l] < 0.0) {
          s[l] = -s[l];
          for (int i = 0; i < n; ++i) V(i, l) = -V(i, l);
        }
        // Sink the value to its place among the converged ones.
        while (l + 1 < p && s[l] < s[l + 1]) {
          std::swap(s[l], s[l + 1]);
          if (l + 1 < n) swapColumns(V, n, l, l + 1);
          if (l + 1 < m) swapColumns(U, m, l, l + 1);
          ++l;
        }
        budget = kSweepBudget;
        --top;
        break;
      }
    }
  }

  pppfb(a, e, s, v, m, n);
  for (int i = 0; i < m * m; ++i) w1[i] = u[i];
  for (int i = 0; i < n * n; ++i) w2[i] = v[i];
}
