#include "PTP/path/pose_shaping.h"

#include "PTP/path/input_shaping.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

namespace {

struct PoseSample {
  double v[4];
};

PoseSample gHistory[kShapingHistory];
std::int32_t gWrite = 0;
// gSystick of the last shaped sample; the history is valid only right after it.
std::uint32_t gLastTick = 0;
bool gValid = false;
bool gAfterBlend = false;

inline std::int32_t ringBack(std::int32_t index, std::int32_t back) {
  const std::int32_t i = index - back;
  return i < 0 ? i + kShapingHistory : i;
}

}  // namespace

bool PoseShapingFor(std::uint32_t motionType) {
  return gInputShaping != 0 && gUsingTrueMotion != 0 && (motionType == 2 || motionType == 10);
}

bool PoseShapingRunning() { return gValid && gLastTick + 1 == gSystick; }

bool PoseShapingAfterBlend() { return PoseShapingRunning() && gAfterBlend; }

void PoseShapingSeed(void (*poseAt)(const void* context, double s, WCSPosition* pose), const void* context) {
  const ShapChannel& ch = strLocalVar[0];
  // Channel 0 already holds this cycle's sample: the history ends one before
  // it, and the samples up to delay2 back from there are still to be read.
  gWrite = ringBack(ch.writeIndex, 1);
  const std::int32_t depth = ch.delay2 < kShapingHistory ? ch.delay2 : kShapingHistory - 1;
  for (std::int32_t back = 0; back <= depth; ++back) {
    const std::int32_t i = ringBack(gWrite, back);
    WCSPosition p{};
    poseAt(context, ch.history[i], &p);
    gHistory[i] = {{p.x, p.y, p.z, p.r}};
  }
  gValid = true;
  gAfterBlend = false;
  gLastTick = gSystick - 1;
}

void PoseShapingStep(WCSPosition* pose, bool blendSample) {
  const ShapChannel& ch = strLocalVar[0];
  const std::int32_t w = gWrite;
  const std::int32_t next = w + 1 == kShapingHistory ? 0 : w + 1;
  const PoseSample& d1 = gHistory[ringBack(w, ch.delay1)];
  const PoseSample& d2 = gHistory[ringBack(w, ch.delay2)];
  const double x[4] = {pose->x, pose->y, pose->z, pose->r};
  double y[4];
  for (int i = 0; i < 4; ++i) y[i] = ch.A1 * x[i] + ch.A2 * d1.v[i] + ch.A3 * d2.v[i];
  gHistory[next] = {{x[0], x[1], x[2], x[3]}};
  gWrite = next;
  gLastTick = gSystick;
  gValid = true;
  gAfterBlend = blendSample;
  pose->x = y[0];
  pose->y = y[1];
  pose->z = y[2];
  pose->r = y[3];
}

void PoseShapingReset() { gValid = false; }
