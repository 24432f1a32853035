#include "PTP/planners/excit_pre_deal.h"

#include <cstring>

void ExcitPreDeal(PackedBaseCmd* cmd, PreDealData* entry) {
  const tagExcitCmd record = cmd->body.excit.cmd;
  static_assert(sizeof record.params == 6 * sizeof(float) && sizeof entry->excit == 12 * sizeof(float));
  for (int pair = 0; pair < 3; ++pair) {
    std::memcpy(&entry->excit[4 * pair], &record.params[2 * pair], 2 * sizeof(float));
    entry->excit[4 * pair + 2] = 0.0f;
    entry->excit[4 * pair + 3] = 0.0f;
  }
}

void ExcitZPreDeal(PackedBaseCmd* cmd, PreDealData* entry) {
  const tagExcitCmdZ record = cmd->body.excitZ.cmd;
  static_assert(sizeof record.params == 3 * sizeof(float));
  std::memcpy(entry->excit, record.params, sizeof record.params);
}
