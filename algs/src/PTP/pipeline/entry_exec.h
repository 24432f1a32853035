#pragma once

#include "common/kernel/pre_deal_data.h"

// Execution of the entry in gPreDealData by its type (inside the runner).

enum class EntryStep {
  kLeave,    // the cycle ends here (a move, a wait, a trigger, a single output)
  kInstant,  // finished at once: the next entry may start in this cycle
};

// isNew: the entry started in this call.
EntryStep ExecuteEntry(PreDealData& entry, bool isNew);

// Wait and trigger state back to load values.
void ResetEntryExec();
