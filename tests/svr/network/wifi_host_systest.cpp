// The access point's settings in a private /etc (an overlay whose upper
// layer lies in the sandbox's /tmp).
#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "dnet/wifi_host.h"
#include "stdout_capture.h"

namespace {

namespace fs = std::filesystem;
using zelor::common::network::WifiHost;

constexpr const char* kConf = "/etc/hostapd.conf";

std::string readText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::trunc);
  out << text;
}

class AccessPoint : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("ZELOR_HOST_TOOLS_LOG"), nullptr) << "run through tests/harness/isolate.sh";
    fs::create_directories("/tmp/etc_upper");
    fs::create_directories("/tmp/etc_work");
    ASSERT_EQ(mount("overlay", "/etc", "overlay", 0, "lowerdir=/etc,upperdir=/tmp/etc_upper,workdir=/tmp/etc_work"), 0)
        << std::strerror(errno);
    fs::remove(kConf);
  }
  void TearDown() override { umount("/etc"); }
};

TEST_F(AccessPoint, PassPhraseChangeKeepsTheRestInKeyOrder) {
  writeText(kConf, "# ap\nssid=lab\ninterface=wlan0\n");
  zelor::test::StdoutCapture out;
  EXPECT_TRUE(WifiHost::Instance().UpdateHostConf(nullptr, "secret123"));
  EXPECT_EQ(readText(kConf), "# ap\ninterface=wlan0\nssid=lab\nwpa_passphrase=secret123\n");

  std::string ssid;
  std::string pass;
  EXPECT_TRUE(WifiHost::Instance().GetHostAP(ssid, pass));
  EXPECT_EQ(ssid, "lab");
  EXPECT_EQ(pass, "secret123");

  // Changed behind its back: the next calls see the file, not old values.
  writeText(kConf, "ssid=hall\nwpa_passphrase=other456\nchannel=6\n");
  EXPECT_TRUE(WifiHost::Instance().GetHostAP(ssid, pass));
  EXPECT_EQ(ssid, "hall");
  EXPECT_EQ(pass, "other456");
  EXPECT_TRUE(WifiHost::Instance().UpdateHostConf("lab2", nullptr));
  EXPECT_EQ(readText(kConf), "channel=6\nssid=lab2\nwpa_passphrase=other456\n");
  const std::string printed = out.finish();
  EXPECT_EQ(printed.find("secret123"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("other456"), std::string::npos) << printed;
}

TEST_F(AccessPoint, RefusedValuesWriteNothing) {
  const std::string original = "ssid=lab\nwpa_passphrase=secret123\n";
  writeText(kConf, original);
  zelor::test::StdoutCapture out;
  for (const auto& [ssid, pass] : {std::pair<const char*, const char*>{"a\nb=c", nullptr},
                                   {nullptr, "x\rwpa_key_mgmt=NONE"}, {"ok", "two\nlines"}}) {
    EXPECT_FALSE(WifiHost::Instance().UpdateHostConf(ssid, pass));
    EXPECT_EQ(readText(kConf), original);
  }
  EXPECT_FALSE(WifiHost::Instance().UpdateHostConf(nullptr, nullptr));
  EXPECT_EQ(readText(kConf), original);
  EXPECT_NE(out.finish().find("ssid and passwd is null !!!"), std::string::npos);
}

TEST_F(AccessPoint, MissingFile) {
  std::string ssid = "old";
  std::string pass = "old";
  EXPECT_FALSE(WifiHost::Instance().GetHostAP(ssid, pass));
  EXPECT_EQ(ssid, "");
  EXPECT_EQ(pass, "");
  writeText(kConf, "interface=wlan0\n");
  EXPECT_TRUE(WifiHost::Instance().GetHostAP(ssid, pass));
  EXPECT_EQ(ssid, "");
  EXPECT_EQ(pass, "");
}

}  // namespace
