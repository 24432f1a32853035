#include "common/run_data.h"

tagAlgsRunData gAlgsRunData = {};
