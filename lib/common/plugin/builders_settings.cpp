// Builders of the homing, teaching, arm, speed, end-effector, jog, inch and
// motion parameter commands.
#include <cstdio>

#include "common/plugin/plugin_base.h"
#include "log/line_log.h"

Packet* PluginBase::alloc_SetHOMEParams(const tagHOMEParams* params, int isQueued) {
  return sendRecord(cmd::SetHOMEParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetHOMEParams() { return send(cmd::GetHOMEParams); }

Packet* PluginBase::alloc_SetHOMECmd(const unsigned char* mode, int isQueued) {
  return sendRecord(cmd::SetHOMECmd, isQueued, mode, __func__);
}

Packet* PluginBase::alloc_SetHHTTrigMode(char mode) { return sendValue(cmd::SetHHTTrigMode, 0, mode); }
Packet* PluginBase::alloc_GetHHTTrigMode() { return send(cmd::GetHHTTrigMode); }

Packet* PluginBase::alloc_SetHHTTrigOutputEnabled(char isEnabled) {
  std::printf("[%s], isEnbled is %d\n", __func__, isEnabled);
  return sendValue(cmd::SetHHTTrigOutputEnabled, 0, isEnabled);
}

Packet* PluginBase::alloc_GetHHTTrigOutputEnabled() { return send(cmd::GetHHTTrigOutputEnabled); }
Packet* PluginBase::alloc_GetHHTTrigOutput() { return send(cmd::GetHHTTrigOutput); }

Packet* PluginBase::alloc_SetControlType(char type) {
  ZLOG_DEBUG(" >>>>>>> [%s], write %d >>>>>>>", __func__, type);
  return sendValue(cmd::SetControlType, 0, type);
}

Packet* PluginBase::alloc_SetDragTeachEnabled(char enabled) {
  return sendValue(cmd::SetDragTeachEnabled, 0, enabled);
}

Packet* PluginBase::alloc_GetDragTeachEnabled() { return send(cmd::GetDragTeachEnabled); }

Packet* PluginBase::alloc_SetArmOrientation(char orientation, int isQueued) {
  return sendValue(cmd::SetArmOrientation, isQueued, orientation);
}

Packet* PluginBase::alloc_GetArmOrientation() { return send(cmd::GetArmOrientation); }

Packet* PluginBase::alloc_SetTransitionCmd(unsigned char transition, bool isQueued) {
  return sendValue(cmd::SetTransitionCmd, isQueued, transition);
}

Packet* PluginBase::alloc_GetTransitionCmd() { return send(cmd::GetTransitionCmd); }

Packet* PluginBase::alloc_SetSpeedFactorParams(unsigned char ratio, bool isQueued) {
  return sendValue(cmd::SetSpeedFactorParams, isQueued, ratio);
}

Packet* PluginBase::alloc_GetSpeedFactorParams() { return send(cmd::GetSpeedFactorParams); }

Packet* PluginBase::alloc_SetManualSpeedParams(unsigned char ratio, bool isQueued) {
  return sendValue(cmd::SetManualSpeedParams, isQueued, ratio);
}

Packet* PluginBase::alloc_GetManualSpeedParams() { return send(cmd::GetManualSpeedParams); }

Packet* PluginBase::alloc_SetEndEffectorParams(const tagEndEffectorParams* params, int isQueued) {
  return sendRecord(cmd::SetEndEffectorParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetEndEffectorParams() { return send(cmd::GetEndEffectorParams); }

Packet* PluginBase::alloc_SetEndEffectorLaser(char enable, char on, int isQueued) {
  return send(cmd::SetEndEffectorLaser, isQueued, {{&enable, 1}, {&on, 1}});
}

Packet* PluginBase::alloc_GetEndEffectorLaser() { return send(cmd::GetEndEffectorLaser); }

Packet* PluginBase::alloc_SetEndEffectorSuctionCup(char enable, char suck, int isQueued) {
  return send(cmd::SetEndEffectorSuctionCup, isQueued, {{&enable, 1}, {&suck, 1}});
}

Packet* PluginBase::alloc_GetEndEffectorSuctionCup() { return send(cmd::GetEndEffectorSuctionCup); }

Packet* PluginBase::alloc_SetEndEffectorGripper(char enable, char grip, int isQueued) {
  return send(cmd::SetEndEffectorGripper, isQueued, {{&enable, 1}, {&grip, 1}});
}

Packet* PluginBase::alloc_GetEndEffectorGripper() { return send(cmd::GetEndEffectorGripper); }

Packet* PluginBase::alloc_SetJOGJointParams(const tagJOGJointParams* params, int isQueued) {
  return sendRecord(cmd::SetJOGJointParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetJOGJointParams() { return send(cmd::GetJOGJointParams); }

Packet* PluginBase::alloc_SetJOGCoordinateParams(const tagJOGCoordinateParams* params, int isQueued) {
  return sendRecord(cmd::SetJOGCoordinateParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetJOGCoordinateParams() { return send(cmd::GetJOGCoordinateParams); }

Packet* PluginBase::alloc_SetJOGCommonParams(const tagJOGCommonParams* params, int isQueued) {
  return sendRecord(cmd::SetJOGCommonParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetJOGCommonParams() { return send(cmd::GetJOGCommonParams); }

// The slide-rail jog parameters have no command: both builders send nothing.
Packet* PluginBase::alloc_SetJOGLParams(const tagJOGLParams*, bool) { return nullptr; }
Packet* PluginBase::alloc_GetJOGLParams() { return nullptr; }

Packet* PluginBase::alloc_SetJOGCmd(const tagJOGCmd* jog, int isQueued) {
  return sendRecord(cmd::SetJOGCmd, isQueued, jog, __func__);
}

Packet* PluginBase::alloc_SetINCHParams(const tagINCHParams* params, bool isQueued) {
  return sendRecord(cmd::SetINCHParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_SetPTPJointParams(const tagPTPJointParams* params, int isQueued) {
  return sendRecord(cmd::SetPTPJointParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetPTPJointParams() { return send(cmd::GetPTPJointParams); }

Packet* PluginBase::alloc_SetPTPCoordinateParams(const tagPTPCoordinateParams* params, int isQueued) {
  return sendRecord(cmd::SetPTPCoordinateParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetPTPCoordinateParams() { return send(cmd::GetPTPCoordinateParams); }

Packet* PluginBase::alloc_SetPTPJumpParams(const tagPTPJumpParams* params, int isQueued) {
  return sendRecord(cmd::SetPTPJumpParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetPTPJumpParams() { return send(cmd::GetPTPJumpParams); }

Packet* PluginBase::alloc_SetPTPJump2Params(const tagPTPJump2Params* params, bool isQueued) {
  return sendRecord(cmd::SetPTPJump2Params, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetPTPJump2Params() { return send(cmd::GetPTPJump2Params); }

Packet* PluginBase::alloc_SetPTPCommonParams(const tagPTPCommonParams* params, int isQueued) {
  return sendRecord(cmd::SetPTPCommonParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetPTPCommonParams() { return send(cmd::GetPTPCommonParams); }

Packet* PluginBase::alloc_SetPTPLParams(const tagPTPLParams* params, bool isQueued) {
  return sendRecord(cmd::SetPTPLParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetPTPLParams() { return send(cmd::GetPTPLParams); }

Packet* PluginBase::alloc_SetCPParams(const tagCPParams* params, int isQueued) {
  return sendRecord(cmd::SetCPParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetCPParams() { return send(cmd::GetCPParams); }

Packet* PluginBase::alloc_SetARCParams(const tagARCParams* params, int isQueued) {
  return sendRecord(cmd::SetARCParams, isQueued, params, __func__);
}

Packet* PluginBase::alloc_GetARCParams() { return send(cmd::GetARCParams); }
