#pragma once

// Included before everything else in the data server: a RapidJSON getter used
// on a member of the wrong type throws instead of aborting the host process.
#include <stdexcept>

#define RAPIDJSON_ASSERT(x) \
  ((x) ? static_cast<void>(0) : throw std::logic_error("JSON value of an unexpected type: " #x))
