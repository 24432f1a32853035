#include "subProcess/data/aux_axis_status.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace {

Packet replyWith(const std::vector<std::uint8_t>& params) {
  Packet p{};
  p.length = static_cast<std::uint16_t>(params.size() + 2);
  if (!params.empty()) std::memcpy(p.params, params.data(), params.size());
  return p;
}

TEST(AuxAxisStatus, CodeStatusAndResultAreSeparateFields) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> params;
    std::uint16_t code;
    std::uint16_t status;
  };
  const Case cases[] = {
      {"healthy", {0, 0, 0, 0, 0, 0, 0, 0}, 0, 0},
      {"code 4 is not the fault bit", {4, 0, 0, 0, 0, 0, 0, 0}, 4, 0},
      {"status word", {4, 0, 1, 0, 0, 0, 0, 0}, 4, 1},
      {"a non-zero result sets bit 2", {0, 0, 0, 0, 1, 0, 0, 0}, 0, 4},
      {"result in its high byte", {0, 0, 0x10, 0, 0, 0, 0, 0x80}, 0, 0x14},
      {"short reply", {7, 0}, 7, 0},
      {"empty reply", {}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const AuxAxisStatus s = AuxAxisStatus::parse(replyWith(c.params));
    EXPECT_EQ(s.code, c.code);
    EXPECT_EQ(s.status, c.status);
  }
}

}  // namespace
