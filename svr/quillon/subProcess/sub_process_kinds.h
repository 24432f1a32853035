#pragma once

#include "subProcess/i_sub_process.h"
#include "subProcess/sub_process_param.h"

// One row per sub-process kind whose class exists: how the factory builds it.
struct SubProcessKind {
  int kind;
  ISubProcess* (*create)(const SubProcessParam& param);
};

// The row of kind, or null.
const SubProcessKind* findSubProcessKind(int kind);
