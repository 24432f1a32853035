// Builders of the conveyor tracking and latch commands.
#include "common/plugin/plugin_base.h"
#include "log/line_log.h"

Packet* PluginBase::alloc_SetConveyorParams(const Conveyor* conveyor, bool isQueued) {
  if (conveyor == nullptr) return refuseNull(__func__);
  const float* frame = conveyor->conveyorFrame;
  ZLOG_DEBUG("float size:%d, Conveyor SIZE %d, %f,%f,%f,%f,%f,%f", static_cast<int>(sizeof(float)),
             static_cast<int>(sizeof(Conveyor)), frame[0], frame[1], frame[2], frame[3], frame[4], frame[5]);
  ZLOG_DEBUG("alloc_SetConveyorParams: camera0: [%d,%f,%u,%f,%d,%d,%u]\n", conveyor->cameraTriggerOutput,
             conveyor->triggerDistance, conveyor->cameraTriggerType, conveyor->cameraRepeatDistance,
             conveyor->dataUnitType, conveyor->imageHeight, conveyor->imageWidth);
  return sendRecord(cmd::SetConveyorParams, isQueued, conveyor, __func__);
}

Packet* PluginBase::alloc_GetCnvObject(const stConveyorObj* request, bool isQueued) {
  if (request == nullptr) return refuseNull(__func__);
  // Only the conveyor number and the second argument travel.
  return send(cmd::GetCnvObject, isQueued, {{request, 2}});
}

Packet* PluginBase::alloc_SetCnvPointOffset(const stConvPointOffset* offset, bool isQueued) {
  return sendRecord(cmd::SetCnvPointOffset, isQueued, offset, __func__);
}

Packet* PluginBase::alloc_SetCnvTimeInterval(const unsigned short* interval, bool isQueued) {
  return sendRecord(cmd::SetCnvTimeInterval, isQueued, interval, __func__);
}

Packet* PluginBase::alloc_syncCnv(const unsigned char* conveyor, bool isQueued) {
  return sendRecord(cmd::syncCnv, isQueued, conveyor, __func__);
}

Packet* PluginBase::alloc_stopsyncCnv(bool isQueued) { return send(cmd::stopsyncCnv, isQueued, {}); }

Packet* PluginBase::alloc_SetCnvTracePoint(std::string text, bool isQueued) {
  ZLOG_DEBUG("alloc_SetCnvTracePoint: %s ", text.c_str());
  return sendTextWithNul(cmd::SetCnvTracePoint, isQueued, text.data(), text.size(), __func__);
}

Packet* PluginBase::alloc_GetEncoderValue(const unsigned char* channel, bool isQueued) {
  return sendRecord(cmd::GetEncoderValue, isQueued, channel, __func__);
}

Packet* PluginBase::alloc_GetLatchPose() { return send(cmd::GetLatchPose); }

Packet* PluginBase::alloc_latchEnable(unsigned char enable, bool isQueued) {
  return sendValue(cmd::latchEnable, isQueued, enable);
}

Packet* PluginBase::alloc_SetLatch(unsigned char type, bool isQueued) {
  return sendValue(cmd::SetLatch, isQueued, type);
}

Packet* PluginBase::alloc_SetLatchTemplate(const st_PoseTemplate_t* pose, bool isQueued) {
  return sendRecord(cmd::SetLatchTemplate, isQueued, pose, __func__);
}
