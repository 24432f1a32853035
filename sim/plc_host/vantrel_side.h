#pragma once

#include <vector>

#include "plc_host/core_mailbox.h"
#include "plc_host/driven_side.h"
#include "plc_host/kernel_library.h"

namespace zelor::sim {

// libvantrel driven through its C interface alone, with the mailbox's
// callback table and a robot parameter block.
class VantrelSide : public DrivenSide {
 public:
  VantrelSide(const VantrelApi& api, CoreMailbox& mailbox, std::vector<std::uint8_t> block);

  bool Start(AxesGroupRef& record, std::string& error) override;
  void Cycle(std::uint8_t* di, std::uint8_t* dout) override;
  // The kernel has no status record to fill; the record stays zero.
  void Status(std::uint8_t*) override {}
  void Stop() override {}

 private:
  const VantrelApi& api_;
  CoreMailbox& mailbox_;
  std::vector<std::uint8_t> block_;
};

}  // namespace zelor::sim
