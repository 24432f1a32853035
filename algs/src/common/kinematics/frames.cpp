#include "common/kinematics/frames.h"

#include <cmath>

#include "common/kernel/core_interface.h"
#include "common/kernel/cycle_timing.h"
#include "common/math/fast_trig.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/stage_report.h"
#include "common/math/transform4.h"

namespace {

constexpr int kStageFrameIn = 5;
constexpr int kStageFrameOut = 6;

void stampFrameEnd(const WCSPosition& input) {
  StampStage(kStageFrameOut);
  if (elapsed[kStageFrameOut] > kStageReportUs) AlgsDataPrint(&input, kStageFrameOut);
}

// Planar pose {x, y, z, r degrees} as a transform rotated about z.
void planarT(double x, double y, double z, double rDeg, double (*T)[4]) {
  const double pose[6] = {x, y, z, rDeg * kDegToRad, 0.0, 0.0};
  cart2T(pose, T);
}

// The pose against the external point E: the translation of E·P⁻¹ (to base)
// or of P⁻¹·E (to tool); the rotation of the product is not used.
void ecpConvert(const tagToolParams* ecp, WCSPosition* pose, bool toBase) {
  double E[4][4], P[4][4], M[4][4];
  planarT(ecp->x, ecp->y, ecp->z, ecp->r, E);
  planarT(pose->x, pose->y, pose->z, pose->r, P);
  invT4(P, P);
  if (toBase)
    matMul4(E, P, M);
  else
    matMul4(P, E, M);
  pose->x = M[0][3];
  pose->y = M[1][3];
  pose->z = M[2][3];
  pose->r = ecp->r - pose->r;
}

}  // namespace

void CalCordToBase(const WCSPosition* in, WCSPosition* out, const tagLocalParams* frame) {
  StampStage(kStageFrameIn);
  const WCSPosition p = *in;
  const double r0 = frame->r * kDegToRad;
  const double c = cosQ(r0), s = sinQ(r0);
  out->x = frame->x + p.x * c - p.y * s;
  out->y = frame->y + p.x * s + p.y * c;
  out->z = p.z + frame->z;
  out->r = p.r + frame->r;
  stampFrameEnd(p);
}

void CalCordToLocal(const WCSPosition* in, WCSPosition* out, const tagLocalParams* frame) {
  StampStage(kStageFrameIn);
  const WCSPosition p = *in;
  const double r0 = frame->r * kDegToRad;
  const double c = cosQ(r0), s = sinQ(r0);
  const double dx = p.x - frame->x;
  const double dy = p.y - frame->y;
  out->x = dx * c + dy * s;
  out->y = -dx * s + dy * c;
  out->z = p.z - frame->z;
  out->r = p.r - frame->r;
  stampFrameEnd(p);
}

void CalcT0toTool(tagToolParams tool, WCSPosition* pose) {
  const double tx = tool.x, ty = tool.y;
  const double a = std::atan2(ty, tx);
  const double rf = pose->r * kDegToRad;
  const double c = cosQ(rf), s = sinQ(rf);
  pose->x += tx * c - ty * s;
  pose->y += tx * s + ty * c;
  pose->z += tool.z;
  pose->r += a * kRadToDeg;
}

void CalcTooltoT0(tagToolParams tool, const WCSPosition* in, WCSPosition* out) {
  const double tx = tool.x, ty = tool.y;
  const WCSPosition p = *in;
  const double rt = p.r * kDegToRad;
  const double th = rt - std::atan2(ty, tx);
  // The offset turned by the flange angle th points along the tip's angle:
  // (tx cos th - ty sin th, tx sin th + ty cos th) = |t| (cos rt, sin rt).
  const double h = std::sqrt(tx * tx + ty * ty);
  out->x = p.x - h * cosQ(rt);
  out->y = p.y - h * sinQ(rt);
  out->z = p.z - tool.z;
  out->r = th * kRadToDeg;
}

void CalECPToBase(const tagToolParams* ecp, WCSPosition* pose) { ecpConvert(ecp, pose, true); }

void CalECPToTool(const tagToolParams* ecp, WCSPosition* pose) { ecpConvert(ecp, pose, false); }

void CalObjToBase(WCSPosition* pose, const double (*F)[4]) {
  KernelLog("MOVL ObjPos %1.3f %1.3f %1.3f %1.3f \r\n", pose->x, pose->y, pose->z, pose->r);
  double P[4][4], M[4][4], cart[6];
  planarT(pose->x, pose->y, pose->z, pose->r, P);
  matMul4(F, P, M);
  T2Cart(M, cart);
  pose->x = cart[0];
  pose->y = cart[1];
  pose->z = cart[2];
  pose->r = cart[3] * kRadToDeg;
  KernelLog("MOVL TTX %1.5f\r\n", F[0][3]);
  KernelLog("MOVL TTY%1.5f\r\n", F[1][3]);
  KernelLog("MOVL CalPos %1.3f %1.3f %1.3f %1.3f \r\n", pose->x, pose->y, pose->z, pose->r);
}

void CalcInvMat4D(const double (*in)[4], double (*out)[4]) { invT4(in, out); }
