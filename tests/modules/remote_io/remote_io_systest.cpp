// The remote-I/O master in brevan: devices of modbus_io_config.json played by
// slave stand-ins, the data server's side of router channels 13 to 15 played
// by the test.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/transport/segment.h"
#include "data_server_peer/data_server_peer.h"
#include "install_paths.h"
#include "modbus_slave/modbus_slave.h"
#include "support/brevan_rig.h"

namespace zelor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using zelor::common::transport::Segment;
using zelor::common::transport::WritableBlock;

constexpr int kPortA = 1502;
constexpr int kPortB = 1503;
constexpr unsigned char kDoChannel = 13;
constexpr unsigned char kDiChannel = 14;
constexpr unsigned char kStatusChannel = 15;

std::string device(int port, const std::string& groups) {
  return R"({"name": "io", "ip": "127.0.0.1", "port": )" + std::to_string(port) + R"(, "id": 1, "period": 20)" +
         groups + "}";
}

std::string config(const std::vector<std::string>& devices) {
  std::string list;
  for (const std::string& d : devices) list += (list.empty() ? "" : ",") + d;
  return R"({"modbusTCPDev": [)" + list + "]}";
}

const std::string kDiDo = R"(, "DI": {"addr": 0, "number": 8}, "DO": {"addr": 0, "number": 4})";

class RemoteIo : public ::testing::Test {
 protected:
  void TearDown() override {
    brevan_.reset();
    if (console_ >= 0) close(console_);
  }

  void start(const std::string& text) {
    std::ofstream(std::string(zelor::paths::kProjectDir) + "/settings/function/modbus_io_config.json",
                  std::ios::trunc)
        << text;
    peer_.start();
    brevan_ = std::make_unique<Brevan>();
  }

  // The data after the length of the DI image frame, when one was waiting.
  std::optional<Bytes> readImage() {
    std::array<std::uint8_t, 2048> frame{};
    const int got = segment_.ReadNoBlock(kDiChannel, frame.data(), frame.size());
    if (got < 2) return std::nullopt;
    return Bytes(frame.begin() + 2, frame.begin() + got);
  }

  // Waits for an image that satisfies cond.
  bool imageWhere(const std::function<bool(const Bytes&)>& cond, std::chrono::milliseconds timeout) {
    return waitFor(
        [&] {
          const auto image = readImage();
          if (image) last_ = *image;
          return image && cond(*image);
        },
        timeout);
  }

  static bool sliceIs(const Bytes& image, int slave, const Bytes& bits) {
    const std::size_t at = static_cast<std::size_t>(slave) * 100;
    if (image.size() < at + 100) return false;
    for (std::size_t i = 0; i < 100; ++i) {
      if (image[at + i] != (i < bits.size() ? bits[i] : 0)) return false;
    }
    return true;
  }

  bool consoleShows(const std::string& text, std::chrono::milliseconds timeout) {
    return waitFor(
        [&] {
          if (console_ < 0) console_ = open(zelor::paths::kFifoBrevan, O_RDONLY | O_NONBLOCK);
          char buf[65536];
          ssize_t n;
          while (console_ >= 0 && (n = read(console_, buf, sizeof buf)) > 0) {
            consoleText_.append(buf, static_cast<std::size_t>(n));
          }
          return consoleText_.find(text) != std::string::npos;
        },
        timeout);
  }

  static void setInputs(zelor::sim::ModbusSlave& slave, const Bytes& bits) {
    for (std::size_t i = 0; i < bits.size(); ++i) slave.setDiscreteInput(static_cast<int>(i), bits[i] != 0);
  }

  Segment segment_{12};
  zelor::sim::DataServerPeer peer_;
  zelor::sim::ModbusSlave slaveA_{"127.0.0.1", kPortA};
  zelor::sim::ModbusSlave slaveB_{"127.0.0.1", kPortB};
  std::unique_ptr<Brevan> brevan_;
  Bytes last_;
  int console_ = -1;
  std::string consoleText_;
};

const Bytes kInputs = {1, 0, 1, 1, 0, 0, 0, 1};

TEST_F(RemoteIo, PublishesTheInputsEvery20Ms) {
  setInputs(slaveA_, kInputs);
  ASSERT_TRUE(slaveA_.start());
  start(config({device(kPortA, kDiDo)}));
  ASSERT_TRUE(imageWhere([](const Bytes& image) { return image.size() == 100 && sliceIs(image, 0, kInputs); }, 10s))
      << "last image of " << last_.size() << " bytes";

  auto previous = Clock::now();
  auto longestGap = Clock::duration::zero();
  const auto end = previous + 2s;
  while (Clock::now() < end) {
    if (readImage()) {
      const auto now = Clock::now();
      longestGap = std::max(longestGap, now - previous);
      previous = now;
    }
    std::this_thread::sleep_for(2ms);
  }
  EXPECT_LT(longestGap, 100ms);

  slaveA_.setDiscreteInput(1, true);
  const auto changed = Clock::now();
  ASSERT_TRUE(imageWhere([](const Bytes& image) { return image.size() == 100 && image[1] == 1; }, 2s));
  EXPECT_LT(Clock::now() - changed, 100ms);
}

TEST_F(RemoteIo, WritesTheDoImageToTheCoils) {
  ASSERT_TRUE(slaveA_.start());
  start(config({device(kPortA, kDiDo)}));
  ASSERT_TRUE(imageWhere([](const Bytes& image) { return image.size() == 100; }, 10s));

  auto doFrame = [](std::uint8_t kind) {
    Bytes frame(2 + 1001, 0);
    frame[0] = 0x03;
    frame[1] = 0xE9;
    frame[2] = kind;
    frame[3] = 1;
    frame[5] = 1;
    frame[6] = 1;
    frame[7] = 1;  // past the device's four coils
    return frame;
  };
  const Bytes ignored = doFrame(1);
  ASSERT_EQ(segment_.Write(kDoChannel, ignored.data(), static_cast<unsigned short>(ignored.size())), 1);
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(slaveA_.coil(0));

  const Bytes frame = doFrame(0);
  ASSERT_EQ(segment_.Write(kDoChannel, frame.data(), static_cast<unsigned short>(frame.size())), 1);
  const auto written = Clock::now();
  ASSERT_TRUE(waitFor([&] { return slaveA_.coil(0) && slaveA_.coil(2) && slaveA_.coil(3); }, 2s));
  EXPECT_LT(Clock::now() - written, 200ms);
  EXPECT_FALSE(slaveA_.coil(1));
  EXPECT_FALSE(slaveA_.coil(4));
}

TEST_F(RemoteIo, ReportsTheConnectionOnChannel15) {
  ASSERT_TRUE(slaveA_.start());
  WritableBlock held;
  ASSERT_TRUE(segment_.AcquireBlockToRead(kDiChannel, held));
  start(config({device(kPortA, kDiDo)}));
  std::array<std::uint8_t, 64> frame{};
  int got = 0;
  EXPECT_TRUE(waitFor([&] { return (got = segment_.ReadNoBlock(kStatusChannel, frame.data(), frame.size())) > 0; },
                      10s));
  segment_.ReleaseReadBlock(kDiChannel, held);
  ASSERT_EQ(got, 3);
  EXPECT_EQ(frame[0], 0x00);
  EXPECT_EQ(frame[1], 0x01);
  EXPECT_EQ(frame[2], 0x01);
}

TEST_F(RemoteIo, ADeviceThatComesAndGoesDoesNotHoldTheOther) {
  setInputs(slaveA_, kInputs);
  ASSERT_TRUE(slaveA_.start());
  start(config({device(kPortA, kDiDo), device(kPortB, kDiDo)}));
  ASSERT_TRUE(imageWhere([](const Bytes& image) { return image.size() == 200 && sliceIs(image, 0, kInputs); }, 10s));

  slaveB_.setDiscreteInput(0, true);
  ASSERT_TRUE(slaveB_.start());
  EXPECT_TRUE(imageWhere([](const Bytes& image) { return sliceIs(image, 1, {1}); }, 2s)) << "B never came online";

  // DO images keep both loops busy with both devices while B is away.
  std::atomic<bool> writing{true};
  std::thread doWriter([&] {
    Segment segment(12);
    Bytes frame(2 + 1001, 0);
    frame[0] = 0x03;
    frame[1] = 0xE9;
    while (writing) {
      segment.Write(kDoChannel, frame.data(), static_cast<unsigned short>(frame.size()));
      std::this_thread::sleep_for(5ms);
    }
  });
  slaveB_.stop();
  for (std::uint8_t value : {0, 1, 0}) {
    slaveA_.setDiscreteInput(7, value != 0);
    EXPECT_TRUE(imageWhere([&](const Bytes& image) { return image.size() == 200 && image[7] == value; }, 1s))
        << "A's slice stopped while B is away";
  }
  writing = false;
  doWriter.join();

  slaveB_.setDiscreteInput(1, true);
  ASSERT_TRUE(slaveB_.start());
  EXPECT_TRUE(imageWhere([](const Bytes& image) { return sliceIs(image, 1, {1, 1}); }, 2s)) << "B never came back";
}

TEST_F(RemoteIo, AllOfflineRetriesEveryFiveSeconds) {
  slaveA_.setDiscreteInput(0, true);
  start(config({device(kPortA, kDiDo)}));
  ASSERT_TRUE(consoleShows("!!! ALL SLAVE IS OFFLINE !!!", 10s)) << consoleText_;
  std::this_thread::sleep_for(1s);
  ASSERT_TRUE(slaveA_.start());
  EXPECT_TRUE(imageWhere([](const Bytes& image) { return sliceIs(image, 0, {1}); }, 7s));
}

TEST_F(RemoteIo, ADiNumberPastTheSliceIsClamped) {
  for (int i = 0; i < 150; ++i) slaveA_.setDiscreteInput(i, true);
  ASSERT_TRUE(slaveA_.start());
  ASSERT_TRUE(slaveB_.start());
  start(config({device(kPortA, R"(, "DI": {"addr": 0, "number": 150})"), device(kPortB, "")}));
  const Bytes ones(100, 1);
  ASSERT_TRUE(imageWhere([&](const Bytes& image) { return image.size() == 200 && sliceIs(image, 0, ones); }, 10s));
  std::this_thread::sleep_for(500ms);
  ASSERT_TRUE(imageWhere([&](const Bytes& image) { return sliceIs(image, 1, {}); }, 1s));
  EXPECT_EQ(slaveB_.requests(), 0);
  EXPECT_TRUE(consoleShows("DI number 150 is above 100", 2s)) << consoleText_;
}

struct BadConfig {
  const char* what;
  std::string text;
  std::string line;
};

void PrintTo(const BadConfig& config, std::ostream* out) { *out << config.what; }

class RemoteIoBadConfig : public RemoteIo, public ::testing::WithParamInterface<BadConfig> {};

TEST_P(RemoteIoBadConfig, StaysIdle) {
  ASSERT_TRUE(slaveA_.start());
  start(GetParam().text);
  EXPECT_TRUE(consoleShows(GetParam().line, 10s)) << consoleText_;
  EXPECT_TRUE(consoleShows("LoadModbusTCPConf err !!!!.", 10s)) << consoleText_;
  std::this_thread::sleep_for(1s);
  EXPECT_FALSE(readImage().has_value());
  EXPECT_EQ(slaveA_.requests(), 0);
}

std::vector<BadConfig> badConfigs() {
  std::vector<std::string> eleven(11, device(kPortA, kDiDo));
  std::string noPort = device(kPortA, "");
  noPort.erase(noPort.find(R"("port")"), std::string(R"("port": 1502, )").size());
  std::string halfPeriod = device(kPortA, "");
  halfPeriod.replace(halfPeriod.find("20"), 2, "5.5");
  return {
      {"Eleven", config(eleven), "size = 11"},
      {"Empty", config({}), "size = 0"},
      {"NoPort", config({noPort}), " modbusTCPDev[0]  member err in  modbus_io_config.json !!!!!"},
      {"HalfPeriod", config({halfPeriod}), " modbusTCPDev[0]  member err in  modbus_io_config.json !!!!!"},
  };
}

INSTANTIATE_TEST_SUITE_P(Configs, RemoteIoBadConfig, ::testing::ValuesIn(badConfigs()),
                         [](const ::testing::TestParamInfo<BadConfig>& info) { return info.param.what; });

}  // namespace
}  // namespace zelor::test
