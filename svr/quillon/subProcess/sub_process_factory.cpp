#include "subProcess/sub_process_factory.h"

#include "log/line_log.h"
#include "subProcess/sub_process_kinds.h"

namespace {
constexpr int kLastKind = ISubProcess::DEBUG;
}  // namespace

SubProcessFactory::~SubProcessFactory() {
  for (ISubProcess* p : processes_) delete p;
}

void SubProcessFactory::start(int kind, const SubProcessParam* param) {
  if (kind < 0 || kind > kLastKind) return;
  ISubProcess* process = nullptr;
  bool created = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    process = processes_.value(kind, nullptr);
    if (process == nullptr) {
      const SubProcessKind* row = findSubProcessKind(kind);
      if (row == nullptr || param == nullptr) return;
      process = row->create(*param);
      processes_.insert(kind, process);
      created = true;
    }
  }
  // start() runs outside the lock: a sub-process may look others up.
  if (created || process->status() != ISubProcess::kRunning) process->start();
}

void SubProcessFactory::stop(int kind) {
  if (kind < 0 || kind > kLastKind) return;
  ISubProcess* process = getInterface(kind);
  if (process == nullptr || process->status() != ISubProcess::kRunning) return;
  process->stop();
}

void SubProcessFactory::interCall(int kind, int id, void* in, void* out, void** ret) {
  ISubProcess* process = findInterface(kind);
  if (process != nullptr) process->interCall(id, in, out, ret);
}

ISubProcess* SubProcessFactory::getInterface(int kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return processes_.value(kind, nullptr);
}

ISubProcess* SubProcessFactory::findInterface(int kind) const {
  ISubProcess* process = getInterface(kind);
  if (process == nullptr) ZLOG_CRTCL("Can't find ISubProcess:%d", kind);
  return process;
}
