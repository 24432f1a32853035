// The exchange's request handling without queues: text replies, refused
// lengths, and the wait for a core that is not registered.
#include "exchange/packet_exchange.h"

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/protocol/packet.h"
#include "stdout_capture.h"
#include "subProcess/factory_access.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> requestBody(std::uint16_t id, std::uint16_t length, const std::string& text = {}) {
  std::vector<std::uint8_t> work(kExchangeWorkSize, 0);
  work[0] = work[1] = 0xAA;
  std::memcpy(&work[2], &length, 2);
  std::memcpy(&work[4], &id, 2);
  work[6] = 0x01;
  std::memcpy(&work[7], text.data(), text.size());
  return work;
}

class ExchangeSteps : public ::testing::Test {
 protected:
  void SetUp() override { setSubProcessFactory(&factory_); }
  void TearDown() override { setSubProcessFactory(nullptr); }
  SubProcessFactory factory_;  // no core registered
};

}  // namespace

TEST(TextReply, CutAt2048BytesAndAlwaysTerminated) {
  struct Row {
    std::size_t size;
    std::size_t kept;
  };
  for (const Row& row : {Row{0, 0}, Row{5, 5}, Row{2047, 2047}, Row{2048, 2048}, Row{3000, 2048}}) {
    std::vector<std::uint8_t> packet(sizeof(Packet), 0x5A);
    putTextReply(packet.data(), std::string(row.size, 'x'));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&packet[7])).size(), row.kept) << row.size;
    EXPECT_EQ(packet[7 + row.kept], 0) << row.size;
    EXPECT_EQ(packet[6], 0x5A) << "header touched for " << row.size;
  }
}

TEST_F(ExchangeSteps, TextCommandsAreAnsweredInPlaceWithTheHeaderKept) {
  struct Row {
    const char* text;
    const char* reply;
  };
  const Row rows[] = {
      {"Hello", "unknow cmd"}, {"Hello()", "error"}, {"PositiveSolution()", ""}, {"a)b(c", "error"}};
  for (const Row& row : rows) {
    auto work = requestBody(262, 30, row.text);
    const auto before = work;
    zelor::test::StdoutCapture out;
    EXPECT_TRUE(answerRequest(work.data(), Clock::now())) << row.text;
    out.finish();
    EXPECT_EQ(std::memcmp(work.data(), before.data(), 7), 0) << row.text;
    EXPECT_STREQ(reinterpret_cast<char*>(&work[7]), row.reply) << row.text;
  }
}

// Refused before any wait for a core: with none registered, a wait would end
// only at the 2 s limit, and the refusal of the rows after it would follow.
TEST_F(ExchangeSteps, OversizedLengthIsRefusedWithItsLengthRaised) {
  struct Row {
    std::uint16_t length;
    std::uint16_t echoed;
  };
  for (const Row& row : {Row{2050, 2052}, Row{4096, 4098}, Row{0xFFFF, 1}}) {
    auto work = requestBody(10, row.length);
    EXPECT_FALSE(answerRequest(work.data(), Clock::now())) << row.length;
    std::uint16_t length;
    std::memcpy(&length, &work[2], 2);
    EXPECT_EQ(length, row.echoed);
    EXPECT_EQ(work[4], 10);
  }
}

TEST_F(ExchangeSteps, WithoutACoreTheRequestComesBackAfterTwoSecondsAsAFailure) {
  auto work = requestBody(10, 0);
  const auto begin = Clock::now();
  EXPECT_FALSE(answerRequest(work.data(), begin));
  const auto waited = Clock::now() - begin;
  EXPECT_GE(waited, 1700ms);
  EXPECT_LE(waited, 2300ms);
  const std::uint8_t expected[] = {0xAA, 0xAA, 0x02, 0x00, 0x0A, 0x00, 0x01};
  EXPECT_EQ(std::memcmp(work.data(), expected, sizeof expected), 0);
}

// The 2 s count from the arrival given: a request whose time is up gets no
// wait for a core at all.
TEST_F(ExchangeSteps, ARequestWhoseTimeIsUpIsRefused) {
  auto work = requestBody(10, 0);
  EXPECT_FALSE(answerRequest(work.data(), Clock::now() - 3s));
}
