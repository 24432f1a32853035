#pragma once

// Homogeneous transforms: row-major 4 x 4 doubles, rotation in the upper-left
// 3 x 3, translation in the last column, last row 0 0 0 1. A six-value pose is
// {x, y, z, rz, ry, rx}, angles in radians, rotation Rz(rz)·Ry(ry)·Rx(rx).

void cart2T(const double* pose, double (*T)[4]);
// Inverse of cart2T, ry taken in [-pi/2, pi/2].
void T2Cart(const double (*T)[4], double* pose);
// Inverse of a homogeneous transform; out may be in.
void invT4(const double (*in)[4], double (*out)[4]);
// C = A x B; C may be A or B.
void matMul4(const double (*A)[4], const double (*B)[4], double (*C)[4]);
void matMul3(const double (*A)[3], const double (*B)[3], double (*C)[3]);
// out = A x v; out may be v.
void mat3MulVec3(const double (*A)[3], const double* v, double* out);
