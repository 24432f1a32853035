#pragma once

// Small dense matrices of the motion library: plain row-major double arrays,
// element (i, j) of an r x c matrix at i·c + j. Nothing here allocates; the
// routines with work storage keep it in fixed 7 x 7 arrays and refuse larger
// sizes.

inline constexpr int kMatrixMaxDim = 7;

// out = a x b for 3-vectors.
void cross(double* a, double* b, double* out);

// C (m x p) = A (m x n) · B (n x p); C must not overlap A or B. Nothing
// happens for m < 1.
void MatMultiplyN(double* A, double* B, int m, int n, int p, double* C);

// T (n x m) = transpose of A (m x n); T must not overlap A. Nothing for m < 1.
void MatrixTranp(double* A, int m, int n, double* T);

// Inverts in place the packed factors of a Doolittle LU decomposition: the
// strict lower part (unit diagonal implied) becomes L⁻¹, the upper part with
// the diagonal becomes U⁻¹. Untouched for n outside 1..7.
void tri_matrix_inv(double (*LU)[kMatrixMaxDim], int n);

// Ainv = A⁻¹ for A n x n by LU without pivoting. Returns 0, or -1 when a pivot
// is below 1e-10 in magnitude (or not a number) or n lies outside 1..7; Ainv
// holds nothing useful then.
int lu_inv(double* A, int n, double* Ainv);

// Singular value decomposition a = U·S·Vᵀ of a (m x n), m and n in 1..7:
// a becomes S (singular values on the diagonal, non-negative and
// non-increasing), u receives U (m x m), v receives Vᵀ (n x n), and w1, w2
// receive copies of u and v (they may be u and v themselves). Stops quietly
// after 60 sweeps without progress on one value. Nothing is touched for sizes
// outside 1..7 or when a value of a is not finite.
void svd(int m, int n, double* a, double* u, double* v, double* w1, double* w2);

// Plane rotation of the pair fg = (f, g): cs = (c, s) with c·f + s·g = r and
// -s·f + c·g = 0; fg becomes (r, z), z = s when |f| > |g|, else 1/c (1 when c = 0).
void sssfb(double* fg, double* cs);

// Final write-back of svd: the singular values s (and the superdiagonal e
// beside them) into a (m x n), and v (n x n) transposed in place.
void pppfb(double* a, double* e, double* s, double* v, int m, int n);

// Ainv (n x m) = Moore-Penrose pseudo-inverse of A (m x n), with singular
// values of 1e-8 or less taken as zero. Untouched for sizes outside 1..7 or
// when a value of A is not finite.
void MatrixInv(int m, int n, double* A, double* Ainv);
