// The RTU status service's requests: registers and coils read back big-endian,
// and every request that is short, reaches past the tables, would overflow
// the reply buffer or names something else gets no reply.
#include "modbus/rtu_status_request.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stdout_capture.h"

namespace {

std::vector<std::uint8_t> request(const std::string& name, unsigned start, unsigned count) {
  std::vector<std::uint8_t> r;
  r.push_back(static_cast<std::uint8_t>(name.size() >> 8));
  r.push_back(static_cast<std::uint8_t>(name.size()));
  r.insert(r.end(), name.begin(), name.end());
  for (unsigned v : {start, count}) {
    r.push_back(static_cast<std::uint8_t>(v >> 8));
    r.push_back(static_cast<std::uint8_t>(v));
  }
  return r;
}

class RtuStatusRequest : public ::testing::Test {
 protected:
  void SetUp() override {
    tables_ = modbus_mapping_new(4096, 4096, 4096, 4096);
    ASSERT_NE(tables_, nullptr);
    for (int i = 0; i < 4096; ++i) {
      tables_->tab_registers[i] = static_cast<std::uint16_t>(0x1000 + i);
      tables_->tab_bits[i] = static_cast<std::uint8_t>(i % 3 == 0);
    }
  }
  void TearDown() override { modbus_mapping_free(tables_); }

  int reply(const std::vector<std::uint8_t>& req, std::size_t length, const modbus_mapping_t* tables) {
    zelor::test::StdoutCapture quiet;
    const int n = buildStatusReply(req.data(), length, tables, reply_);
    printed_ = quiet.finish();
    return n;
  }
  int reply(const std::vector<std::uint8_t>& req) { return reply(req, req.size(), tables_); }

  modbus_mapping_t* tables_ = nullptr;
  std::uint8_t reply_[kStatusReplySize + 16] = {};
  std::string printed_;
};

}  // namespace

TEST_F(RtuStatusRequest, ReadRegistersAnswersByteCountAndBigEndianRegisters) {
  ASSERT_EQ(reply(request("ReadRegisters", 4093, 3)), 2 + 6);
  const std::uint8_t expected[] = {0x00, 0x06, 0x1F, 0xFD, 0x1F, 0xFE, 0x1F, 0xFF};
  EXPECT_EQ(std::vector<std::uint8_t>(reply_, reply_ + 8), std::vector<std::uint8_t>(expected, expected + 8));
  EXPECT_NE(printed_.find("start = 0xffd, number = 0x3\n"), std::string::npos) << printed_;
  // The largest read that fits the reply buffer.
  EXPECT_EQ(reply(request("ReadRegisters", 0, 511)), 1024);
  EXPECT_EQ(reply_[0], 0x03);
  EXPECT_EQ(reply_[1], 0xFE);
}

TEST_F(RtuStatusRequest, ReadCoilsAnswersCountAndOneBytePerCoil) {
  ASSERT_EQ(reply(request("ReadCoils", 2, 4)), 2 + 4);
  const std::uint8_t expected[] = {0x00, 0x04, 0, 1, 0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(reply_, reply_ + 6), std::vector<std::uint8_t>(expected, expected + 6));
  EXPECT_EQ(reply(request("ReadCoils", 0, 1022)), 1024);
  EXPECT_EQ(reply(request("ReadCoils", 4095, 1)), 3) << "the last coil";
}

TEST_F(RtuStatusRequest, NamesAreComparedOnlyOverTheirOwnLength) {
  EXPECT_EQ(reply(request("ReadRegistersNow", 0, 1)), 4) << "the first 13 characters decide";
  EXPECT_EQ(reply(request("ReadCoilsAll", 0, 1)), 3);
  struct Case {
    const char* name;
  } unknown[] = {{"Read"}, {"ReadRegister"}, {"ReadCoil"}, {""}, {"readcoils"}, {"WriteRegisters"}};
  for (const Case& c : unknown) EXPECT_EQ(reply(request(c.name, 0, 1)), -1) << '"' << c.name << '"';
}

TEST_F(RtuStatusRequest, RequestsOutsideTheTablesOrTheReplyGetNoReply) {
  constexpr std::size_t kWhole = SIZE_MAX;
  struct Case {
    std::vector<std::uint8_t> req;
    std::size_t length;
    const char* why;
  };
  const auto regs = request("ReadRegisters", 0, 4);
  const Case cases[] = {
      {request("ReadRegisters", 0, 512), kWhole, "count 512 overflows the reply"},
      {request("ReadRegisters", 4090, 10), kWhole, "start 4090 + 10 passes the table"},
      {request("ReadRegisters", 0xFFFF, 0xFFFF), kWhole, "largest start and count"},
      {request("ReadCoils", 0, 1023), kWhole, "1023 coils overflow the reply"},
      {request("ReadCoils", 4000, 200), kWhole, "coils past the table"},
      {regs, regs.size() - 1, "count cut short"},
      {regs, 2 + 13, "no parameters"},
      {regs, 1, "not even the name length"},
      {regs, 0, "empty request"},
      {{0xFF, 0xFF, 'R', 'e', 'a', 'd'}, 6, "name length beyond the request"},
  };
  for (const Case& c : cases) {
    std::memset(reply_, 0xAA, sizeof reply_);
    EXPECT_EQ(reply(c.req, c.length == kWhole ? c.req.size() : c.length, tables_), -1) << c.why;
    EXPECT_EQ(reply_[kStatusReplySize], 0xAA) << c.why << ": wrote past the reply buffer";
    EXPECT_FALSE(printed_.empty()) << c.why << ": refused without a log line";
  }
  EXPECT_EQ(reply(request("ReadRegisters", 4092, 4)), 10) << "the last four registers";
}

TEST_F(RtuStatusRequest, WithoutTablesNothingIsDelivered) {
  EXPECT_EQ(reply(request("ReadRegisters", 0, 1), 19, nullptr), -1);
  EXPECT_NE(printed_.find("m_mb_rtu_mapping is null"), std::string::npos) << printed_;
  EXPECT_EQ(reply(request("ReadCoils", 0, 1), 15, nullptr), -1);
  EXPECT_NE(printed_.find("m_mb_rtu_mapping is null"), std::string::npos) << printed_;
}
