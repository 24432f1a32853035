#pragma once

#include "PTP/path/path_records.h"
#include "zelor_export.h"

// Path geometry: a move becomes a PathInfo, which is evaluated over u. Pure
// functions on caller-owned records; nothing allocates.

// The path planner's two records (current and next move); the kernel zeroes
// them when it disables with true-motion on.
extern PathInfo fstPath;
extern PathInfo secPath;

// Builds the record for the command's kind. An unknown kind prints
// "unsupported type", marks the record empty and leaves its kind.
ZELOR_EXPORT void getPath(MotionCmd cmd, PathInfo& path);

// Position at u. Joint: out[0..3] joints. Line and arc: x, y, z, r (deg), 0, 0.
// Other kinds print "unsupported type" and write nothing.
ZELOR_EXPORT void getPos(PathInfo path, double u, double* out);
// d/du of the position; other kinds write nothing.
ZELOR_EXPORT void getTangent(double u, double* out, PathInfo path);
// d²/du² of the position; other kinds write nothing.
ZELOR_EXPORT void getCurvature(double u, double* out, PathInfo path);

// Centre of the circle through three points; 0, or -1 (centre untouched) when
// they are collinear (determinant exactly zero).
ZELOR_EXPORT int calArcCenter(double* p1, double* p2, double* p3, double* centre);
// Arc frame: U from the centre to the start, W the normal oriented by the
// order start, middle, end, V = W x U.
ZELOR_EXPORT void calArcCoodinate(double* start, double* middle, double* end, double* centre, double* U,
                                  double* V, double* W);

// Unit quaternions (w, x, y, z) and Euler angles e = (rz, ry, rx) of
// Rz·Ry·Rx; the CartPos forms read and write rx, ry, rz of the pose.
ZELOR_EXPORT void Eul2UnitQua(double* e, double* q);
ZELOR_EXPORT void Eul2UnitQua(CartPos pos, double* q);
ZELOR_EXPORT void UnitQua2Eul(double* q, double* e);
ZELOR_EXPORT void UnitQua2Eul(double* q, CartPos& pos);
// out = p·q (Hamilton product).
ZELOR_EXPORT void MultiQua(double* p, double* q, double* out);
// Conjugate in place.
ZELOR_EXPORT void InvUnitQua(double* q);
// out = (angle, axis x, y, z), angle in [0, pi]; clamps q's w into [-1, 1] in place.
ZELOR_EXPORT void QuaAxis(double* q, double* out);
// Rotation carrying q1 into q2, as QuaAxis gives it.
ZELOR_EXPORT void calcAxis(double* q1, double* q2, double* out);
// Spherical interpolation at t; negates q1 in place when it lies on the far
// side of q0. The result is not renormalised.
ZELOR_EXPORT void SlerpInsert(double* q0, double* q1, double t, double* out);
