// Builders of the pose, frame and point-conversion commands.
#include "common/plugin/plugin_base.h"

Packet* PluginBase::alloc_ResetPose(char manual, float rearArmAngle, float frontArmAngle) {
  const auto flag = static_cast<std::uint8_t>(manual);
  return send(cmd::ResetPose, 0,
              {{&flag, sizeof flag}, {&rearArmAngle, sizeof rearArmAngle}, {&frontArmAngle, sizeof frontArmAngle}});
}

Packet* PluginBase::alloc_GetPose(tagGetPoseInput input) { return sendValue(cmd::GetPose, 0, input); }
Packet* PluginBase::alloc_GetKinematics() { return send(cmd::GetKinematics); }
Packet* PluginBase::alloc_GetAlarmsState() { return send(cmd::GetAlarmsState); }
Packet* PluginBase::alloc_ClearAllAlarmsState() { return send(cmd::ClearAllAlarmsState); }

Packet* PluginBase::alloc_EcpSwitch(const unsigned char* on, bool isQueued) {
  return sendRecord(cmd::EcpSwitch, isQueued, on, __func__);
}

Packet* PluginBase::alloc_EcpSet(const tagCoordParams* frame, bool isQueued) {
  return sendRecord(cmd::EcpSet, isQueued, frame, __func__);
}

Packet* PluginBase::alloc_GetUserParams() { return send(cmd::GetUserParams); }

Packet* PluginBase::alloc_SetUserCoordParams(const tagCoordParamsFull* frame, bool isQueued) {
  return sendRecord(cmd::SetUserCoordParams, isQueued, frame, __func__);
}

Packet* PluginBase::alloc_SetToolCoordParams(const tagCoordParamsFull* frame, bool isQueued) {
  return sendRecord(cmd::SetToolCoordParams, isQueued, frame, __func__);
}

Packet* PluginBase::alloc_GetUserCoordParams() { return send(cmd::GetUserCoordParams); }
Packet* PluginBase::alloc_GetToolCoordParams() { return send(cmd::GetToolCoordParams); }
Packet* PluginBase::alloc_GetJointAngle() { return send(cmd::GetJointAngle); }

Packet* PluginBase::alloc_GetPointForwardCal(const KinematicsPose* pose) {
  return sendRecord(cmd::GetPointForwardCal, 0, pose, __func__);
}

Packet* PluginBase::alloc_GetPointInverseCal(const KinematicsPose* pose) {
  return sendRecord(cmd::GetPointInverseCal, 0, pose, __func__);
}

Packet* PluginBase::alloc_setUserMatrixCalcParams(const CorrectParams_t* params, bool isQueued) {
  return sendRecord(cmd::setUserMatrixCalcParams, isQueued, params, __func__);
}
