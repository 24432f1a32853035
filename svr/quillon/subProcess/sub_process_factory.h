#pragma once

#include <mutex>

#include <QHash>

#include "subProcess/i_sub_process.h"
#include "subProcess/sub_process_param.h"

// Creates, starts, stops and calls the sub-processes by kind; at most one per
// kind, created at its first start and kept until the factory goes.
class SubProcessFactory {
 public:
  SubProcessFactory() = default;
  virtual ~SubProcessFactory();
  SubProcessFactory(const SubProcessFactory&) = delete;
  SubProcessFactory& operator=(const SubProcessFactory&) = delete;

  // Creates the kind once from its row of the creation table, then starts it
  // unless it is running. Kinds above 4, or without a class yet, do nothing.
  void start(int kind, const SubProcessParam* param);
  // Stops a registered, running sub-process; it stays registered.
  void stop(int kind);
  // Forwards to the sub-process's interCall; logs CRTCL "Can't find
  // ISubProcess:%d" when none is registered.
  void interCall(int kind, int id, void* in, void* out, void** ret);
  // The registered sub-process of that kind, or null (nothing logged).
  ISubProcess* getInterface(int kind) const;
  // Same, logging "Can't find ISubProcess:%d" when none is registered.
  ISubProcess* findInterface(int kind) const;

 private:
  // Lookups and inserts come from several threads (the exchange thread, the
  // sub-processes' own threads) while init still registers later kinds.
  mutable std::mutex mutex_;
  QHash<int, ISubProcess*> processes_;
};
