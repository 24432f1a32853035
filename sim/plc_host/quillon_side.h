#pragma once

#include "plc_host/cycle_durations.h"
#include "plc_host/driven_side.h"
#include "plc_host/quillon_library.h"

namespace zelor::sim {

// The data server driven through its entry points, as the PLC runtime does:
// the parameter call once, then per cycle the input image, the robot cycle
// (timed), the output image and the robot status record.
class QuillonSide : public DrivenSide {
 public:
  QuillonSide(const QuillonApi& api, CycleDurations& durations) : api_(api), durations_(durations) {}

  bool Start(AxesGroupRef& record, std::string& error) override;
  void Cycle(std::uint8_t* di, std::uint8_t* dout) override;
  void Status(std::uint8_t* plcStatus) override;
  // Releases the robot once.
  void Stop() override;

 private:
  const QuillonApi& api_;
  CycleDurations& durations_;
  AxesGroupRef* record_ = nullptr;
};

}  // namespace zelor::sim
