#pragma once

#include <string>

#include "rpc_api/rpc_execute_api.h"

namespace zelor::modules::rpcExecuteApis {

// The continuous-path ratio of one command: read from its "CP=" option, the
// kernel's ratio saved, the new one queued before the motion, and the saved
// one queued back when the object goes.
class CPSetting {
 public:
  static constexpr int kNothingToRestore = 0xffff;

  CPSetting() = default;
  ~CPSetting();
  CPSetting(const CPSetting&) = delete;
  CPSetting& operator=(const CPSetting&) = delete;

  // Walks every argument: a "CP=" one sets the value (0..100) and makes it
  // valid, any other makes it not valid again. A bad value sets its error
  // reply and ends the walk. Returns the validity flag.
  bool getInuputCpValue(int* value, const Args& args, std::string& reply);
  // The kernel's current ratio (id 51 read); false when none came back.
  bool getCurCpValue(int* value);
  // Queues the ratio (id 51, one byte). Above 100 sets "-30000,{},".
  // -1 when refused or no packet came back.
  int setCpValue(int value, std::string& reply);

  bool m_isValid = false;
  int m_cpValue = kNothingToRestore;
};

}  // namespace zelor::modules::rpcExecuteApis
