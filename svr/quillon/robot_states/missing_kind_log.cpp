#include "robot_states/missing_kind_log.h"

#include "log/line_log.h"
#include "subProcess/sub_process_factory.h"

ISubProcess* MissingKindLog::find(SubProcessFactory& factory, int kind) {
  ISubProcess* p = factory.getInterface(kind);
  if (kind < 0 || kind >= kKinds) return p;
  if (p != nullptr) {
    logged_[kind] = false;
  } else if (!logged_[kind].exchange(true)) {
    ZLOG_CRTCL("Can't find ISubProcess:%d", kind);
  }
  return p;
}

void MissingKindLog::reset() {
  for (auto& l : logged_) l = false;
}
