// The network functions on a veth pair eth2/eth2p in the sandbox's own
// network namespace; the commands they run reach the host-tool stand-ins.
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "dnet/dnet.h"
#include "process.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kRouteFile = "/tmp/ip_route.txt";

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

bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < until) {
    if (cond()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return cond();
}

// The real ip, by its path: "ip" on the PATH is the stand-in.
int realIp(const std::string& args) {
  return zelor::test::runProcess({"/bin/sh", "-c", "/sbin/ip " + args}).exitCode;
}

std::string toolsLog() { return readText(std::getenv("ZELOR_HOST_TOOLS_LOG")); }

// A private /etc: an overlay whose upper layer lies in the sandbox's /tmp.
bool privateEtc() {
  fs::create_directories("/tmp/etc_upper");
  fs::create_directories("/tmp/etc_work");
  return mount("overlay", "/etc", "overlay", 0, "lowerdir=/etc,upperdir=/tmp/etc_upper,workdir=/tmp/etc_work") == 0;
}

class Network : public ::testing::Test {
 protected:
  void SetUp() override {
    // Only inside the sandbox, which the stand-ins' log marks.
    ASSERT_NE(std::getenv("ZELOR_HOST_TOOLS_LOG"), nullptr) << "run through tests/harness/isolate.sh";
    ASSERT_EQ(realIp("link add eth2 type veth peer name eth2p"), 0);
    ASSERT_EQ(realIp("link set eth2 up"), 0);
    ASSERT_EQ(realIp("link set eth2p up"), 0);
    setenv("ZELOR_IP_ROUTE_FILE", kRouteFile, 1);
  }
  void TearDown() override {
    realIp("link del eth2");
    unsetenv("ZELOR_IP_ROUTE_FILE");
    fs::remove(kRouteFile);
  }
};

TEST_F(Network, AddressNetmaskMacGatewayAndLink) {
  char text[16] = {};
  EXPECT_EQ(set_ip("eth2", "192.168.2.7"), 1);
  EXPECT_EQ(get_ip("eth2", text), 1);
  EXPECT_STREQ(text, "192.168.2.7");
  EXPECT_EQ(set_ip_netmask("eth2", "255.255.255.0"), 1);
  EXPECT_EQ(get_ip_netmask("eth2", text), 1);
  EXPECT_STREQ(text, "255.255.255.0");
  EXPECT_EQ(set_ip("eth2", "not an address"), 0);
  EXPECT_EQ(set_ip("eth9", "192.168.2.7"), 0);
  EXPECT_EQ(get_ip("eth9", text), 0);

  // The 6 bytes that ip prints after "link/ether".
  const auto shown = zelor::test::runProcess({"/sbin/ip", "-o", "link", "show", "eth2"});
  const std::size_t at = shown.out.find("link/ether ");
  ASSERT_NE(at, std::string::npos) << shown.out;
  unsigned bytes[6] = {};
  ASSERT_EQ(std::sscanf(shown.out.c_str() + at + 11, "%x:%x:%x:%x:%x:%x", &bytes[0], &bytes[1], &bytes[2], &bytes[3],
                        &bytes[4], &bytes[5]),
            6);
  char mac[16] = {};
  EXPECT_EQ(get_mac("eth2", mac), 1);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(static_cast<unsigned char>(mac[i]), bytes[i]) << i;

  EXPECT_EQ(set_gateway("192.168.2.1"), 1);
  // Destination 0, gateway 192.168.2.1 in the kernel's byte order.
  EXPECT_NE(readText("/proc/net/route").find("eth2\t00000000\t0102A8C0"), std::string::npos)
      << readText("/proc/net/route");
  EXPECT_EQ(set_gateway("gateway"), 0);

  EXPECT_TRUE(waitFor([] { return detect_interface_status("eth2", -1) == 0; }, 5s));
  const int own = socket(AF_INET, SOCK_DGRAM, 0);
  EXPECT_EQ(detect_interface_status("eth2", own), 0);
  ASSERT_EQ(realIp("link set eth2p down"), 0);
  EXPECT_TRUE(waitFor([] { return detect_interface_status("eth2", -1) == 1; }, 5s));
  EXPECT_EQ(detect_interface_status("eth2", own), 1);
  close(own);
  EXPECT_EQ(detect_interface_status("eth9", -1), 2);
}

TEST_F(Network, SetNetworkRunsRouteOnlyForANewPlainGateway) {
  writeText(kRouteFile, "default via 192.168.2.1 dev eth2\n192.168.2.0/24 dev eth2 proto kernel scope link\n");
  const std::string before = toolsLog();
  EXPECT_EQ(set_network("eth2", "0.0.0.0", "0.0.0.0", "0.0.0.0"), 0);
  EXPECT_EQ(set_network("eth2", "0.0.0.0", "0.0.0.0", "192.168.2.1"), 0);
  struct Refused {
    const char* dev;
    const char* gw;
  };
  for (const Refused& r : {Refused{"eth2", "1.2.3.4 ;reboot"}, Refused{"eth2", "1.2.3"},
                           Refused{"eth2", "1.2.3.256"}, Refused{"eth2", "1.2.3.4.5"}, Refused{"eth2 x", "1.2.3.4"},
                           Refused{"eth2;reboot", "1.2.3.4"}, Refused{"eth2-very-long-name", "1.2.3.4"}}) {
    EXPECT_EQ(set_network(r.dev, "0.0.0.0", "0.0.0.0", r.gw), 0) << r.dev << " " << r.gw;
  }
  std::string log = toolsLog().substr(before.size());
  EXPECT_EQ(log.find("route "), std::string::npos) << log;
  EXPECT_EQ(log.find("reboot"), std::string::npos) << log;

  EXPECT_EQ(set_network("eth2", "192.168.2.9", "255.255.0.0", "192.168.2.254"), 0);
  log = toolsLog().substr(before.size());
  const std::size_t del = log.find("route del default gw 192.168.2.1 dev eth2\n");
  const std::size_t add = log.find("route add default gw 192.168.2.254 dev eth2\n");
  EXPECT_NE(del, std::string::npos) << log;
  EXPECT_NE(add, std::string::npos) << log;
  EXPECT_LT(del, add);
  char text[16] = {};
  get_ip("eth2", text);
  EXPECT_STREQ(text, "192.168.2.9");
  get_ip_netmask("eth2", text);
  EXPECT_STREQ(text, "255.255.0.0");

  // The pendant's form sets address and netmask, never the gateway.
  const std::string beforeHttp = toolsLog();
  EXPECT_EQ(set_network_httpcmd("eth2", "192.168.2.7", "255.255.255.0", "10.0.0.1"), 0);
  EXPECT_EQ(toolsLog(), beforeHttp);
  get_ip("eth2", text);
  EXPECT_STREQ(text, "192.168.2.7");
  get_ip_netmask("eth2", text);
  EXPECT_STREQ(text, "255.255.255.0");
}

TEST_F(Network, GatewayFromTheRoutingTable) {
  struct Case {
    const char* table;
    const char* gateway;
  };
  const Case cases[] = {
      {"10.0.0.0/8 dev eth0\ndefault via 192.168.2.1 dev eth2 proto static\n", "192.168.2.1"},
      {"default via 192.168.200.200 dev eth2\n", "192.168.200.200"},
      {"default via 1234567890123456789012345678901234567890 dev eth2\n", ""},
      {"192.168.2.0/24 dev eth2 scope link\n", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    writeText(kRouteFile, c.table);
    char out[16];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(get_gateway(out), 1) << c.table;
    EXPECT_STREQ(out, c.gateway) << c.table;
  }
  unsetenv("ZELOR_IP_ROUTE_FILE");
  char out[16] = "x";
  EXPECT_EQ(get_gateway(out), 1);
  EXPECT_STREQ(out, "");
}

TEST_F(Network, NameServersAndTheWholeConfiguration) {
  ASSERT_TRUE(privateEtc()) << std::strerror(errno);
  struct Case {
    const char* resolv;
    const char* first;
    const char* second;
  };
  const Case cases[] = {
      {"# resolver\nnameserver 9.9.9.9\nsearch lab\nnameserver 1.1.1.1\nnameserver 8.8.8.8\n", "9.9.9.9", "1.1.1.1"},
      {"nameserver 2001:db8:ffff:ffff::53\nnameserver 1.1.1.1\n", "", "1.1.1.1"},
      {"nameserver 9.9.9.9\n", "9.9.9.9", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    fs::remove("/etc/resolv.conf");
    writeText("/etc/resolv.conf", c.resolv);
    char first[16];
    char second[16];
    std::memset(first, 'z', sizeof first);
    std::memset(second, 'z', sizeof second);
    EXPECT_EQ(get_dns(first, second), 0) << c.resolv;
    EXPECT_STREQ(first, c.first) << c.resolv;
    EXPECT_STREQ(second, c.second) << c.resolv;
    EXPECT_EQ(get_dns(first, nullptr), 0);
    EXPECT_STREQ(first, c.first) << c.resolv;
  }

  fs::remove("/etc/resolv.conf");
  writeText("/etc/resolv.conf", "nameserver 9.9.9.9\n");
  writeText(kRouteFile, "default via 192.168.2.1 dev eth2\n");
  ASSERT_EQ(set_ip("eth2", "192.168.2.7"), 1);
  ASSERT_EQ(set_ip_netmask("eth2", "255.255.255.0"), 1);
  char ip[16] = {};
  char gw[16] = {};
  char mask[16] = {};
  char dns[16] = {};
  EXPECT_EQ(get_network("eth2", ip, gw, mask, dns), 0);
  EXPECT_STREQ(ip, "192.168.2.7");
  EXPECT_STREQ(gw, "192.168.2.1");
  EXPECT_STREQ(mask, "255.255.255.0");
  EXPECT_STREQ(dns, "9.9.9.9");
  umount("/etc");
}

}  // namespace
