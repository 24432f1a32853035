#include "plc_host/vantrel_side.h"

#include <cstring>

#include "common/protocol/robot_param_block.h"

namespace zelor::sim {

VantrelSide::VantrelSide(const VantrelApi& api, CoreMailbox& mailbox, std::vector<std::uint8_t> block)
    : api_(api), mailbox_(mailbox), block_(std::move(block)) {}

bool VantrelSide::Start(AxesGroupRef& record, std::string& error) {
  if (block_.size() != sizeof(RobotParamBlock)) {
    error = "the parameter block must be " + std::to_string(sizeof(RobotParamBlock)) + " bytes, not " +
            std::to_string(block_.size());
    return false;
  }
  api_.init(&record, mailbox_.table());
  api_.init_params(block_.data());
  return true;
}

void VantrelSide::Cycle(std::uint8_t* di, std::uint8_t* dout) {
  std::uint32_t words[16];
  std::memcpy(words, di, sizeof words);
  api_.update_di(words);
  api_.run();
  api_.update_do(words);
  std::memcpy(dout, words, sizeof words);
}

}  // namespace zelor::sim
