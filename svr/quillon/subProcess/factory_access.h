#pragma once

#include "subProcess/sub_process_factory.h"

// The one road to the sub-processes for every part of the data server: the
// data-server object by default; tests point it at a plain factory.
SubProcessFactory& subProcessFactory();

// Null returns to the data-server object.
void setSubProcessFactory(SubProcessFactory* factory);
