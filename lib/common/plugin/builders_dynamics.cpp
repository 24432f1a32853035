// Builders of the load, identification, collision, safety and external-axis
// commands.
#include "common/plugin/plugin_base.h"
#include "log/line_log.h"

Packet* PluginBase::alloc_loadSet(const _stLoadParams* load, bool isQueued) {
  return sendRecord(cmd::loadSet, isQueued, load, __func__);
}

Packet* PluginBase::alloc_loadSwitch(unsigned char on, bool isQueued) {
  return sendValue(cmd::loadSwitch, isQueued, on);
}

Packet* PluginBase::alloc_ExcitSetMode(unsigned char mode, bool isQueued) {
  ZLOG_DEBUG("alloc_EcpSetMode: %d ", mode);
  return sendValue(cmd::ExcitSetMode, isQueued, mode);
}

Packet* PluginBase::alloc_SetDynLoadParams(const _stLoadFullParams* load, bool isQueued) {
  return sendRecord(cmd::SetDynLoadParams, isQueued, load, __func__);
}

Packet* PluginBase::alloc_SetTorDiffParams(const tagTorDiffParams* thresholds, bool isQueued) {
  if (thresholds == nullptr) return refuseNull(__func__);
  const float* t = thresholds->torDiff;
  ZLOG_DEBUG(" >>>>>>> [%s], torDiffJ1:%f  torDiffJ2:%f torDiffJ3:%f torDiffJ4:%f>>>>>>>", __func__, t[0], t[1], t[2],
             t[3]);
  return sendRecord(cmd::SetTorDiffParams, isQueued, thresholds, __func__);
}

Packet* PluginBase::alloc_SetSafeGuard(bool stop) {
  const std::uint8_t flag = stop ? 1 : 0;
  return sendValue(cmd::SetSafeGuard, 0, flag);
}

Packet* PluginBase::alloc_SetExterAxisCmd(stTramletCmd command, unsigned char isQueued) {
  return sendValue(cmd::SetExterAxisCmd, isQueued, command);
}

Packet* PluginBase::alloc_GetExterAxisCmd(stTramletCmd command, unsigned char isQueued) {
  return sendValue(cmd::GetExterAxisCmd, isQueued, command);
}

Packet* PluginBase::alloc_SetCollisionLevel(int level, bool isQueued) {
  const std::int32_t value = level;
  return sendValue(cmd::SetCollisionLevel, isQueued, value);
}
