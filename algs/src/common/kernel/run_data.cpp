#include "common/kernel/run_data.h"

tagAlgsRunData gAlgsRunData = {};
