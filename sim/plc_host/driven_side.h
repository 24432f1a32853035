#pragma once

#include <cstdint>
#include <string>

#include "common/protocol/axes_group_ref.h"

namespace zelor::sim {

// What the host drives each cycle: libvantrel here; the data server's entry
// points when the host loads libquillon instead.
class DrivenSide {
 public:
  virtual ~DrivenSide() = default;
  // Once, with the record that every cycle passes on.
  virtual bool Start(AxesGroupRef& record, std::string& error) = 0;
  // One cycle: the input image in (the side may change it), one cycle, the
  // output image out.
  virtual void Cycle(std::uint8_t* di, std::uint8_t* dout) = 0;
  // The PLC's robot status record, after the cycle.
  virtual void Status(std::uint8_t* plcStatus) = 0;
  virtual void Stop() = 0;
};

}  // namespace zelor::sim
