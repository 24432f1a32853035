// Tool and user-frame changes inside the queue: the look-ahead pose is the
// same physical point expressed in the new frame.
#include "PTP/pipeline/pre_deal.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kinematics/frames.h"
#include "common/math/transform4.h"

namespace {

constexpr double kFramePi = 3.1415927410125732;
constexpr double kRzToDegrees = 57.295780181884766;

void LogPose(const char* fmt, const WCSPosition& p) { KernelLog(fmt, p.x, p.y, p.z, p.r); }

void LogFrame(const char* fmt, const tagCoordParamsFull& f) {
  KernelLog(fmt, static_cast<double>(f.x), static_cast<double>(f.y), static_cast<double>(f.z),
            static_cast<double>(f.r));
}

// {x, y, z, rz, 0, 0} with rz in radians.
void ToSix(double x, double y, double z, double rDeg, double* six) {
  six[0] = x;
  six[1] = y;
  six[2] = z;
  six[3] = rDeg / 180.0 * kFramePi;
  six[4] = 0.0;
  six[5] = 0.0;
}

}  // namespace

void PreDealToolParamsCmd(PackedBaseCmd* cmd) {
  const tagToolParams next = cmd->body.toolParams;
  LogPose("PreDealToolParamsCmd last pos:%lf, %lf, %lf, %lf \r\n", gPreDealPos.pose);
  LogFrame("PreDealToolParamsCmd last toolParams:%lf, %lf, %lf, %lf \r\n", gPreDealPos.toolParams);
  LogFrame("PreDealToolParamsCmd current toolParams:%lf, %lf, %lf, %lf \r\n", next);

  WCSPosition flange{};
  CalcTooltoT0(gPreDealPos.toolParams, &gPreDealPos.pose, &flange);
  const tagToolParams tool{0, next.x, next.y, next.z, next.r};
  CalcT0toTool(tool, &flange);
  gPreDealPos.toolParams = tool;
  gPreDealPos.pose = flange;
  LogPose("PreDealToolParamsCmd current pos:%lf, %lf, %lf, %lf \r\n", gPreDealPos.pose);
}

void PreDealLocalParamsCmd(PackedBaseCmd* cmd) {
  const tagLocalParams next = cmd->body.localParams;
  const tagLocalParams old = gPreDealPos.localParams;
  LogPose("PreDealLocalParamsCmd last pos:%lf, %lf, %lf, %lf \r\n", gPreDealPos.pose);
  LogFrame("PreDealLocalParamsCmd last localParams:%lf, %lf, %lf, %lf \r\n", old);
  LogFrame("PreDealLocalParamsCmd current localParams:%lf, %lf, %lf, %lf \r\n", next);

  double six[6];
  double tOld[4][4], tPose[4][4], tBase[4][4], tNew[4][4], tNewInv[4][4], t[4][4];
  ToSix(old.x, old.y, old.z, old.r, six);
  cart2T(six, tOld);
  const WCSPosition& p = gPreDealPos.pose;
  ToSix(p.x, p.y, p.z, p.r, six);
  cart2T(six, tPose);
  matMul4(tOld, tPose, tBase);
  ToSix(next.x, next.y, next.z, next.r, six);
  cart2T(six, tNew);
  CalcInvMat4D(tNew, tNewInv);
  matMul4(tNewInv, tBase, t);
  T2Cart(t, six);

  gPreDealPos.pose.x = six[0];
  gPreDealPos.pose.y = six[1];
  gPreDealPos.pose.z = six[2];
  gPreDealPos.pose.r = six[3] * kRzToDegrees;
  gPreDealPos.localParams.x = next.x;
  gPreDealPos.localParams.y = next.y;
  gPreDealPos.localParams.z = next.z;
  gPreDealPos.localParams.r = next.r;
  LogPose("PreDealLocalParamsCmd current pos:%lf, %lf, %lf, %lf \r\n", gPreDealPos.pose);
}
