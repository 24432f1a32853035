// Builders of the queued-execution control commands.
#include "common/plugin/plugin_base.h"

Packet* PluginBase::alloc_GetQueuedCmdCurrentIndex() { return send(cmd::GetQueuedCmdCurrentIndex); }
Packet* PluginBase::alloc_SetQueuedCmdStartExec() { return send(cmd::SetQueuedCmdStartExec); }
Packet* PluginBase::alloc_SetQueuedCmdStopExec() { return send(cmd::SetQueuedCmdStopExec); }

Packet* PluginBase::alloc_SetQueuedCmdForceStopExec(bool force) {
  const std::uint8_t flag = force ? 1 : 0;
  return sendValue(cmd::SetQueuedCmdForceStopExec, 0, flag);
}

Packet* PluginBase::alloc_SetQueuedCmdHardStopExec() { return send(cmd::SetQueuedCmdHardStopExec); }
Packet* PluginBase::alloc_SetQueuedCmdClear() { return send(cmd::SetQueuedCmdClear); }
Packet* PluginBase::alloc_SetQueuedCmdStopClear() { return send(cmd::SetQueuedCmdStopClear); }
Packet* PluginBase::alloc_GetQueuedCmdLeftSpace() { return send(cmd::GetQueuedCmdLeftSpace); }
Packet* PluginBase::alloc_GetCmdAllDone() { return send(cmd::GetCmdAllDone); }
Packet* PluginBase::alloc_GetStopStatus() { return send(cmd::GetStopStatus); }
