// Loading the remote I/O devices from their configuration file.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "remote_io/modbus_tcp_conf.h"

namespace zelor::modules::router {
namespace {

class ConfFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/modbus_io_config_XXXXXX";
    const int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    close(fd);
    path_ = pattern;
  }
  void TearDown() override { std::remove(path_.c_str()); }

  int load(const std::string& text) {
    std::ofstream(path_, std::ios::trunc) << text;
    return LoadModbusTCPConf(path_, records_);
  }

  static std::string device(const std::string& extra) {
    return R"({"name": "io", "ip": "127.0.0.1", "port": 1502, "id": 1, "period": 20)" + extra + "}";
  }

  std::string path_;
  std::vector<ModbusTCPConf_t> records_;
};

TEST_F(ConfFile, ReadsEveryField) {
  ASSERT_EQ(load(R"({"modbusTCPDev": [)" + device(R"(, "DI": {"addr": 3, "number": 8, "index": 2},
      "DO": {"addr": 70000, "number": 4, "index": -1})") + "," + device("") + "]}"),
            2);
  ASSERT_EQ(records_.size(), 2u);
  const ModbusTCPConf_t& first = records_[0];
  EXPECT_STREQ(first.name, "io");
  EXPECT_STREQ(first.ip, "127.0.0.1");
  EXPECT_EQ(first.port, 1502);
  EXPECT_EQ(first.id, 1);
  EXPECT_EQ(first.period, 20);
  EXPECT_EQ(first.diAddr, 3);
  EXPECT_EQ(first.diNumber, 8);
  EXPECT_EQ(first.diIndex, 2);
  EXPECT_EQ(first.doAddr, 70000 & 0xFFFF);
  EXPECT_EQ(first.doNumber, 4);
  EXPECT_EQ(first.doIndex, -1);
  EXPECT_EQ(records_[1].diNumber, 0);
  EXPECT_EQ(records_[1].doNumber, 0);
}

TEST_F(ConfFile, OptionalGroupsOfTheWrongKindGiveZero) {
  ASSERT_EQ(load(R"({"modbusTCPDev": [)" + device(R"(, "DI": 5, "DO": {"addr": 2.5, "number": "4"})") + "]}"), 1);
  EXPECT_EQ(records_[0].diNumber, 0);
  EXPECT_EQ(records_[0].doAddr, 0);
  EXPECT_EQ(records_[0].doNumber, 0);
}

TEST_F(ConfFile, NumbersPastTheSliceAreClampedTo100) {
  ASSERT_EQ(load(R"({"modbusTCPDev": [)" + device(R"(, "DI": {"number": 150}, "DO": {"number": 101})") + "]}"), 1);
  EXPECT_EQ(records_[0].diNumber, 100);
  EXPECT_EQ(records_[0].doNumber, 100);
}

TEST_F(ConfFile, LongTextsStayInsideTheirFields) {
  const std::string name(400, 'n');
  const std::string ip = "127.000.000.001.extra";
  ASSERT_EQ(load(R"({"modbusTCPDev": [{"name": ")" + name + R"(", "ip": ")" + ip +
                 R"(", "port": 1, "id": 1, "period": 1}]})"),
            1);
  EXPECT_EQ(std::string(records_[0].name), name.substr(0, 255));
  EXPECT_EQ(std::string(records_[0].ip), ip.substr(0, 16));
}

TEST_F(ConfFile, ErrorCodes) {
  struct Case {
    const char* what;
    std::string text;
    int code;
  };
  const Case cases[] = {
      {"not JSON", "{", -2},
      {"no array", R"({"modbusTCPDev": {}})", -3},
      {"no member", R"({"other": []})", -3},
      {"not an object", "[]", -3},
      {"without port", R"({"modbusTCPDev": [{"name": "a", "ip": "1.1.1.1", "id": 1, "period": 1}]})", -4},
      {"period 5.5", R"({"modbusTCPDev": [)" + device("").replace(device("").find("20"), 2, "5.5") + "]}", -4},
      {"port 5.0", R"({"modbusTCPDev": [)" + device("").replace(device("").find("1502"), 4, "5.0") + "]}", -4},
      {"second bad", R"({"modbusTCPDev": [)" + device("") + R"(, {"name": 1}]})", -4},
      {"empty", R"({"modbusTCPDev": []})", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(load(c.text), c.code) << c.what;
    if (c.code < 0) {
      EXPECT_TRUE(records_.empty()) << c.what;
    }
  }
  std::remove(path_.c_str());
  EXPECT_EQ(LoadModbusTCPConf(path_, records_), -1);
}

}  // namespace
}  // namespace zelor::modules::router
