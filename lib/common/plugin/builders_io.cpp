// Builders of the input and output commands.
#include "common/plugin/plugin_base.h"
#include "log/line_log.h"

Packet* PluginBase::alloc_SetIOMultiplexing(const tagIOMultiplexing* multiplexing, int isQueued) {
  return sendRecord(cmd::SetIOMultiplexing, isQueued, multiplexing, __func__);
}

Packet* PluginBase::alloc_GetIOMultiplexing(const tagIOMultiplexing* multiplexing) {
  return sendRecord(cmd::GetIOMultiplexing, 0, multiplexing, __func__);
}

Packet* PluginBase::alloc_SetIODO(const tagIO_DO* output, int isQueued) {
  if (output == nullptr) return refuseNull(__func__);
  ZLOG_DEBUG("[%s], DO io addr: %d, level: %d", __func__, static_cast<int>(output->address), output->level);
  return sendRecord(cmd::SetIODO, isQueued, output, __func__);
}

Packet* PluginBase::alloc_GetIODO(const tagIO_DO* output) {
  return sendRecord(cmd::GetIODO, 0, output, __func__);
}

Packet* PluginBase::alloc_SetMulIODO(const Group_IO_DO* outputs, int isQueued) {
  return sendRecord(cmd::SetMulIODO, isQueued, outputs, __func__);
}

Packet* PluginBase::alloc_GetMulIODO(const Group_IO_DI* inputs, int isQueued) {
  return sendRecord(cmd::GetMulIODO, isQueued, inputs, __func__);
}

Packet* PluginBase::alloc_SetIODAC(const tagIODAC* output, int isQueued) {
  return sendRecord(cmd::SetIODAC, isQueued, output, __func__);
}

Packet* PluginBase::alloc_GetIODAC(const tagIODAC* output) {
  return sendRecord(cmd::GetIODAC, 0, output, __func__);
}

Packet* PluginBase::alloc_GetIODI(const tagIO_DI* input) { return sendRecord(cmd::GetIODI, 0, input, __func__); }

Packet* PluginBase::alloc_SetEMotor(const tagEMotor* motor, int isQueued) {
  return sendRecord(cmd::SetEMotor, isQueued, motor, __func__);
}

Packet* PluginBase::alloc_GetIOADC(const tagIOADC* input) { return sendRecord(cmd::GetIOADC, 0, input, __func__); }

Packet* PluginBase::alloc_SetIODOEx(const tagIODOEx* outputs, int isQueued) {
  return sendRecord(cmd::SetIODOEx, isQueued, outputs, __func__);
}

Packet* PluginBase::alloc_GetIODOEx(const tagIODOEx* outputs) {
  return sendRecord(cmd::GetIODOEx, 0, outputs, __func__);
}

Packet* PluginBase::alloc_GetIODIEx(const tagIODIEx* inputs) {
  return sendRecord(cmd::GetIODIEx, 0, inputs, __func__);
}

Packet* PluginBase::alloc_GetIOADCEx(const tagIOADCEx* inputs) {
  return sendRecord(cmd::GetIOADCEx, 0, inputs, __func__);
}

Packet* PluginBase::alloc_SetIODACEx(const tagIODACEx* outputs, int isQueued) {
  return sendRecord(cmd::SetIODACEx, isQueued, outputs, __func__);
}

Packet* PluginBase::alloc_GetIODACEx(const tagIODACEx* outputs) {
  return sendRecord(cmd::GetIODACEx, 0, outputs, __func__);
}
