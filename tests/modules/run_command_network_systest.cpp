// The run command on a machine with a network beside loopback: every server
// listens on loopback only, and nothing the controller does while a client
// drives it sends a packet (or an address lookup) out of the machine.
//
// The sandbox's network namespace gets a veth pair whose one end holds a
// documentation address and the default route; both ends stay inside the
// namespace, so the end's transmit counter counts every packet that would have
// left the machine.
#include <modbus.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "built_paths.h"
#include "install_paths.h"
#include "support/brevan_rig.h"
#include "support/feedback_client.h"

namespace zelor::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLink = "eg0";

std::string buildDir() { return fs::path(built::kPlcHost).parent_path().parent_path().string(); }
std::string script(const char* name) { return std::string(built::kSourceDir) + "/scripts/" + name; }

ProcessResult shell(const std::string& command) { return runProcess({"/bin/sh", "-c", command}); }

// Packets sent by the link, from its own counters (the /sys outside the
// namespace does not show them); -1 when unreadable.
long long txPackets() {
  const ProcessResult r = shell(std::string("/sbin/ip -s -j link show ") + kLink);
  rapidjson::Document doc;
  doc.Parse(r.out.c_str());
  if (!doc.IsArray() || doc.Empty() || !doc[0].HasMember("stats64")) return -1;
  const auto& tx = doc[0]["stats64"]["tx"];
  return tx.HasMember("packets") && tx["packets"].IsInt64() ? tx["packets"].GetInt64() : -1;
}

// Local addresses of every listening TCP socket and bound UDP socket.
std::vector<std::string> listeners() {
  std::vector<std::string> found;
  std::istringstream lines(shell("ss -ltunH").out);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string netid, state, recvQ, sendQ, local;
    if (fields >> netid >> state >> recvQ >> sendQ >> local) found.push_back(netid + " " + local);
  }
  return found;
}

std::string movJ(const Four& t) {
  char buf[200];
  std::snprintf(buf, sizeof buf, "MovJ(%.4f,%.4f,%.4f,%.4f)", t[0], t[1], t[2], t[3]);
  return buf;
}

std::string command(int port, const std::string& line, std::size_t replySize, std::chrono::milliseconds timeout) {
  Client client(port);
  if (!client.connected()) return "(not connected)";
  client.send(line);
  return client.read(replySize, timeout);
}

TEST(RunCommandNetwork, ListensOnLoopbackAndSendsNothingBeyondIt) {
  // A link to "another network": IPv6 off so that the kernel itself sends
  // nothing (no router solicitations), then the address and default route.
  ASSERT_EQ(shell("/sbin/ip link add eg0 type veth peer name eg1").exitCode, 0) << "veth links not available";
  for (const char* link : {"eg0", "eg1"}) {
    std::FILE* f = std::fopen((std::string("/proc/sys/net/ipv6/conf/") + link + "/disable_ipv6").c_str(), "w");
    if (f != nullptr) {
      std::fputs("1", f);
      std::fclose(f);
    }
  }
  ASSERT_EQ(shell("/sbin/ip addr add 198.51.100.1/24 dev eg0 && /sbin/ip link set eg0 up && /sbin/ip link set eg1 up && "
                  "/sbin/ip route add default via 198.51.100.254")
                .exitCode,
            0);
  const long long txBefore = txPackets();
  ASSERT_GE(txBefore, 0);

  allowRoomyQueues();
  const ProcessResult install = runProcess({script("install-root.sh"), buildDir()}, {}, 60s);
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;

  const std::string terminal = "/tmp/run_network_terminal.txt";
  {
    // As the run command starts it; its terminal (both streams) in a file.
    ChildProcess run({"/bin/sh", "-c", "exec \"$0\" \"$1\" 2>&1", script("run-processes.sh"), buildDir()},
                     ChildOptions{"", terminal});
    ASSERT_TRUE(waitFor([] { return listening(29999) && listening(30003) && listening(502) && listening(12345); },
                        60s))
        << readFile(terminal);
    for (const std::string& listener : listeners()) {
      EXPECT_NE(listener.find(" 127.0.0.1:"), std::string::npos) << "not on loopback: " << listener;
    }

    std::string reply;
    ASSERT_TRUE(waitFor(
        [&] {
          reply = command(29999, "Foo()", 16, 2s);
          return reply == "-10000,{},Foo();";
        },
        30s))
        << "control mode never tcp; last reply: " << reply;

    FeedbackClient stream;
    ASSERT_TRUE(waitFor([&] { return stream.packets() > 0; }, 40s)) << "no 30004 packet";
    // One connection per port for the drive: each port serves one client.
    const auto port29999 = acceptedClient(29999, 10s);
    const auto port30003 = acceptedClient(30003, 10s);
    ASSERT_TRUE(port29999 && port30003);
    port29999->send("EnableRobot()");
    ASSERT_EQ(port29999->read(19, 25s), "0,{},EnableRobot();");
    const std::size_t first = stream.packets();
    ASSERT_TRUE(waitFor([&] { return stream.packets() > first; }, 2s));
    const Four start = stream.pose();
    const Four away = {start[0] + 20, start[1] - 30, start[2] - 20, start[3] + 15};

    modbus_t* master = modbus_new_tcp("127.0.0.1", 502);
    ASSERT_NE(master, nullptr);
    ASSERT_EQ(modbus_connect(master), 0);

    // The README's road, driven for 30 s at a pendant's pace.
    const auto until = Clock::now() + 30s;
    int moves = 0, reads = 0, gets = 0;
    for (int round = 0; Clock::now() < until; ++round) {
      if (round % 8 == 0) {
        const std::string line = movJ(moves % 2 == 0 ? away : start);
        port30003->send(line);
        EXPECT_EQ(port30003->read(line.size() + 6, 5s), "0,{}," + line + ";");
        ++moves;
      }
      const ProcessResult get =
          shell("curl -s -m 5 -o /dev/null -w '%{http_code}' http://127.0.0.1:12345/properties/axis");
      if (get.out == "200") ++gets;
      std::uint16_t registers[10] = {};
      if (modbus_read_input_registers(master, 0, 10, registers) == 10) ++reads;
      const std::size_t seen = stream.packets();
      ASSERT_TRUE(waitFor([&] { return stream.packets() >= seen + 30; }, 2s)) << "the 30004 stream stalled";
    }
    modbus_close(master);
    modbus_free(master);
    EXPECT_GT(moves, 5);
    EXPECT_GT(gets, 20) << "HTTP GETs answered 200";
    EXPECT_GT(reads, 20) << "Modbus reads answered";

    EXPECT_EQ(txPackets() - txBefore, 0) << "packets sent out of " << kLink;

    // The stop: the host releases the robot and prints its figures, nothing
    // needs killing.
    const int status = run.stop(SIGTERM, 15s);
    EXPECT_TRUE(WIFEXITED(status)) << status;
  }
  const std::string out = readFile(terminal);
  for (const char* closing : {"plc host: cycles ", "plc host: RTSStartRobot calls ", "controller stopped"}) {
    EXPECT_NE(out.find(closing), std::string::npos) << closing << "\n" << out.substr(out.size() > 4000 ? out.size() - 4000 : 0);
  }
  EXPECT_EQ(out.find("killed "), std::string::npos) << out.substr(out.find("killed "), 200);
  for (const char* noise : {"ipcrm", "cat: "}) {
    EXPECT_EQ(out.find(noise), std::string::npos) << noise;
  }
  shell("/sbin/ip link del eg0");
  fs::remove(terminal);
  fs::remove("/tmp/zelor_quillon.log");
  fs::remove("/tmp/zelor_quillon.log.1");
}

}  // namespace
}  // namespace zelor::test
