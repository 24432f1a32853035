#include "PTP/path/arc_point.h"

#include "PTP/path/circle_geometry.h"

void TP_CalcArcPtForScara(WCSPosition start, MATRIX3D_STR m, VECTOR3D_STR centre, double radius, double phi,
                          double dr, WCSPosition* out) {
  TP_CalcCirclePtForScara(start, m, centre, radius, phi, dr, out);
}

void TP_TransCalcArcPtForScara(MATRIX3D_STR m, VECTOR3D_STR centre, double radius, double phi, double r,
                               WCSPosition* out) {
  TP_TransCalcCirclePtForScara(m, centre, radius, phi, r, out);
}
