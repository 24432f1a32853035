// Reading and writing hostapd-style files in a folder of the test's own.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dnet/dnet.h"
#include "dnet/wifi_host.h"

namespace {

namespace fs = std::filesystem;
using zelor::common::network::WifiHost;

class HostConf : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/hostconf_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const char* name) const { return dir_ + "/" + name; }
  void write(const std::string& p, const std::string& text) { std::ofstream(p, std::ios::trunc) << text; }
  std::string read(const std::string& p) {
    std::stringstream s;
    s << std::ifstream(p).rdbuf();
    return s.str();
  }

  std::string dir_;
};

TEST_F(HostConf, LoadSplitsAtTheFirstEqualsAndKeepsOtherLines) {
  write(path("a.conf"), "# comment\nssid=a=b\n\nssid=second\nwpa_passphrase=\nbare\n");
  std::map<std::string, std::string> conf{{"stale", "x"}};
  std::vector<std::string> others;
  ASSERT_TRUE(WifiHost::LoadHostConf(path("a.conf"), conf, &others));
  EXPECT_EQ(conf, (std::map<std::string, std::string>{{"ssid", "a=b"}, {"wpa_passphrase", ""}}));
  EXPECT_EQ(others, (std::vector<std::string>{"# comment", "", "bare"}));
  EXPECT_FALSE(WifiHost::LoadHostConf(path("missing.conf"), conf));
  EXPECT_TRUE(conf.empty());
}

TEST_F(HostConf, WriteReplacesTheFileInKeyOrder) {
  write(path("b.conf"), "old content that is longer than the new one\n");
  ASSERT_TRUE(WifiHost::HostapdWriteConf(path("b.conf"), {{"z", "1"}, {"a", "2"}}, {"# head"}));
  EXPECT_EQ(read(path("b.conf")), "# head\na=2\nz=1\n");
  EXPECT_FALSE(fs::exists(path("b.conf.tmp")));
  EXPECT_FALSE(WifiHost::HostapdWriteConf(path("no/such/dir.conf"), {{"a", "1"}}));
}

TEST(NetworkText, AddressAndNetmaskChecks) {
  struct Case {
    const char* text;
    int ip;
    int netmask;
  };
  const Case cases[] = {
      {"255.255.255.0", 1, 1}, {"0.0.0.0", 1, 1},     {"255.255.255.255", 1, 1}, {"255.255.128.0", 1, 1},
      {"255.0.255.0", 1, 0},   {"255.255.255.1", 1, 0}, {"0.255.255.255", 1, 0},   {"192.168.2.7", 1, 0},
      {"no", 0, 0},            {"", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_valid_ip(c.text), c.ip) << c.text;
    EXPECT_EQ(is_valid_netmask(c.text), c.netmask) << c.text;
  }
  EXPECT_EQ(is_valid_ip(nullptr), 0);
  EXPECT_EQ(is_valid_netmask(nullptr), 0);
}

}  // namespace
