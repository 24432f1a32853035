#include "common/interface/vision_intake.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/command/command_intake.h"
#include "common/interface/vision_text.h"
#include "common/kernel/algs_logs.h"
#include "common/kernel/conveyor_state.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/ring_buffer.h"
#include "common/kinematics/camera_correction.h"
#include "common/kinematics/frames.h"

MulRobotConveyor::ObjectData pixelPointXY[kVisionMaxPoints] = {};
MulRobotConveyor::ObjectData cameraPointXY[kVisionMaxPoints] = {};
tagVisionIntakeState gVisionIntake = {};

namespace {

constexpr const char* kInterfaceSourcePath = "algs/src/common/interface";
// The camera's "no object" marker in x.
constexpr double kNoObjectX = 9999.0;
constexpr double kNoObjectTolerance = 1e-5;
constexpr float kFramePi = 3.1415927f;
constexpr int kMaxRobotsInLine = 10;

// A frame of the conveyor record as a user frame, rotation from radians to degrees.
tagLocalParams frameOf(const float* values) {
  tagLocalParams frame{};
  frame.x = values[0];
  frame.y = values[1];
  frame.z = values[2];
  frame.r = values[3] / kFramePi * 180.0f;
  return frame;
}

// A vision-frame point as a pose of the conveyor frame.
WCSPosition toConveyorFrame(double x, double y, const tagLocalParams& vision, const tagLocalParams& conveyor) {
  WCSPosition pose{x, y, 0.0, 0.0};
  CalCordToBase(&pose, &pose, &vision);
  CalCordToLocal(&pose, &pose, &conveyor);
  return pose;
}

void copyPoint(MulRobotConveyor::ObjectData& to, const MulRobotConveyor::ObjectData& from) {
  to.x = from.x;
  to.y = from.y;
  to.r = from.r;
  to.encCount = from.encCount;
  to.attribute = from.attribute;
}

}  // namespace

// An information line of the intake: to the data server's log and the kernel
// log queues, under the name of the intake. Formatted once for both.
#define VISION_LOG(fmt, ...)                                                                          \
  do {                                                                                                \
    char visionLine[kKernelLogLineSize];                                                              \
    std::snprintf(visionLine, sizeof visionLine, fmt __VA_OPT__(, ) __VA_ARGS__);                     \
    KernelLog("%s", visionLine);                                                                      \
    AlgsLogs::Instance().Info(kInterfaceSourcePath, "OnTCPCmd", __LINE__, "%s", visionLine);          \
  } while (0)

static_assert(VisionTextPieces::kCapacity == kVisionMaxPoints + 1, "the conveyor number and every object piece");

int OnTCPCmd(const char* text) {
  VISION_LOG("enter test tcp : %s\r\n", text);
  VisionTextPieces pieces;
  parseCnvVisonData(text, pieces);
  if (gRobotId != 1) return 0;

  long comNumber = 0;
  if (pieces.total != 0) {
    comNumber = ReadVisionInteger(pieces.piece[0]);
    VISION_LOG("comNum: %d \r\n", static_cast<int>(comNumber));
  }
  if (comNumber < 0 || comNumber >= kConveyorCount) {
    VISION_LOG("[ERROR]conveyor %ld out of range 0..%d, frame ignored\r\n", comNumber, kConveyorCount - 1);
    return 0;
  }
  const int comNum = static_cast<int>(comNumber);

  // Object pieces: at most the table's worth; a malformed one is not an object.
  const std::size_t objectPieces = pieces.total == 0 ? 0 : pieces.total - 1;
  if (objectPieces > kVisionMaxPoints) {
    VISION_LOG("[ERROR]%d object pieces, only the first %d read\r\n", static_cast<int>(objectPieces),
               kVisionMaxPoints);
  }
  const std::size_t readPieces = std::min<std::size_t>(objectPieces, kVisionMaxPoints);
  int points = 0;
  for (std::size_t i = 1; i <= readPieces; ++i) {
    stVisionTracePoint point{};
    const std::string_view piece = pieces.piece[i];
    const VisionPieceResult parsed = getPointFromCnvVisonFrame(piece, point);
    if (parsed == kPieceMalformed) {
      VISION_LOG("[ERROR]object piece %d malformed, not an object: %.*s\r\n", static_cast<int>(i),
                 static_cast<int>(piece.size()), piece.data());
      continue;
    }
    if (parsed == kPieceNotFinite) {
      VISION_LOG("[ERROR]object piece %d beyond range, not an object: %.*s\r\n", static_cast<int>(i),
                 static_cast<int>(piece.size()), piece.data());
      continue;
    }
    if (std::fabs(static_cast<double>(point.x) - kNoObjectX) < kNoObjectTolerance) return 0;
    MulRobotConveyor::ObjectData& entry = pixelPointXY[points++];
    entry.x = point.x;
    entry.y = point.y;
    entry.r = point.r;
    entry.attribute = point.attribute;
    VISION_LOG("test tcp:%1.3f %1.3f %1.3f %d \r\n", point.x, point.y, point.r, point.attribute);
  }
  const int count = pieces.total == 0 ? -1 : points;
  VISION_LOG("test Count:%d\r\n", count);

  const Conveyor& conveyor = gConveyor[comNum];
  const tagLocalParams vision = frameOf(conveyor.visionFrame);
  const tagLocalParams conveyorFrame = frameOf(conveyor.conveyorFrame);
  const double triggerDistance = conveyor.triggerDistance;
  const double tolerance = conveyor.cameraRepeatDistance;
  const int robotsInLine = std::clamp(gRobotInLine, 1, kMaxRobotsInLine);
  const MulRobotConveyor::ObjectData* last = gVisionIntake.lastCameraPointXY[comNum];
  const int lastCount = gVisionIntake.lastCaptureCount[comNum];
  const float* c = conveyor.visionMatrix;

  for (int j = 0; j < count; ++j) {
    const float encCount = static_cast<float>(gCurrentEncoder[comNum].captureValue);
    MulRobotConveyor::ObjectData& pixel = pixelPointXY[j];
    MulRobotConveyor::ObjectData& camera = cameraPointXY[j];
    pixel.encCount = encCount;
    camera.encCount = encCount;
    camera.attribute = pixel.attribute;

    Point2D corrected{pixel.x, pixel.y};
    Cal9PManual(c, conveyor.imageWidth, conveyor.imageHeight, corrected);
    VISION_LOG("visM_Out:%1.3f %1.3f %1.3f %1.3f %1.3f %1.3f %1.3f %1.3f %1.3f %d %d\r\n", c[0], c[1], c[2], c[3],
               c[4], c[5], c[6], c[7], c[8], conveyor.imageWidth, conveyor.imageHeight);
    camera.x = static_cast<float>(corrected.x);
    camera.y = static_cast<float>(corrected.y);
    camera.r = pixel.r;
    VISION_LOG("test tcp cameraPoint:%d %1.3f %1.3f\r\n", j, corrected.x, corrected.y);
    VISION_LOG("test lastCaptureCount:%d\r\n", lastCount);

    bool seen = false;
    for (int k = 0; k < lastCount; ++k) {
      VISION_LOG("test tcp last cameraPoint:%d %1.3f %1.3f\r\n", k, last[k].x, last[k].y);
      const WCSPosition now = toConveyorFrame(camera.x, camera.y, vision, conveyorFrame);
      const WCSPosition before = toConveyorFrame(last[k].x, last[k].y, vision, conveyorFrame);
      VISION_LOG("test tcp conveyPos:%1.3f %1.3f %1.3f \r\n", now.x, now.y, now.r);
      VISION_LOG("test tcp conveyLastPos:%1.3f %1.3f %1.3f \r\n", before.x, before.y, before.r);
      if (std::fabs((now.x - before.x) - triggerDistance) < tolerance) {
        VISION_LOG("tcp sameCapture\r\n");
        seen = true;
        break;
      }
    }
    if (seen) continue;

    const int slot = gVisionIntake.assignedCount % robotsInLine;
    gVisionIntake.assignedCount = slot;
    tagRingBuffer& ring = gObjDataQueue[comNum][slot];
    if (ring.isFull != 0) {
      ++gVisionIntake.realCount;
      continue;
    }
    pixel.available = 1;
    VISION_LOG("RingBufferEnqueue: comNum = %d assignedCount = %d\r\n", comNum, slot);
    VISION_LOG("pixelPointXY[i].encCount = %.3f\r\n", pixel.encCount);
    RingBufferEnqueue(&ring, &pixel);
    ++gVisionIntake.assignedCount;
    ++gVisionIntake.realCount;
  }

  MulRobotConveyor::ObjectData* lastOfConveyor = gVisionIntake.lastCameraPointXY[comNum];
  for (int k = 0; k < kVisionMaxPoints; ++k) copyPoint(lastOfConveyor[k], MulRobotConveyor::ObjectData{});
  for (int j = 0; j < count; ++j) copyPoint(lastOfConveyor[j], cameraPointXY[j]);
  gVisionIntake.lastCaptureCount[comNum] = count;
  VISION_LOG("tcp objCount:%d \r\n", gVisionIntake.realCount);
  return 0;
}
