// The PLC-runtime stand-in program, cycling in real time and reached by
// another process through its packet endpoint and its segment.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "common/protocol/command_records.h"
#include "plc_host/host_segment.h"
#include "plc_host/packet_endpoint.h"
#include "process.h"

namespace zelor::sim {
namespace {

constexpr key_t kKey = 0x5A02;
constexpr const char* kSocket = "/tmp/plc_host.sock";
constexpr const char* kErrFile = "/tmp/plc_host.err";

bool exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

std::string readFile(const char* path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(PlcHostProgram, CyclesAnswersAndCleansUp) {
  test::ChildProcess host({"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + std::string(kErrFile), test::built::kPlcHost,
                           "--key", std::to_string(kKey), "--socket", kSocket, "--realtime"});
  const auto started = std::chrono::steady_clock::now();
  while (!exists(kSocket) && std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(exists(kSocket)) << readFile(kErrFile);

  KinematicsPose kp{};
  Packet request{};
  request.header[0] = request.header[1] = kPacketHeaderByte;
  request.length = sizeof kp + 2;
  request.cmdId = 8;
  std::memcpy(request.params, &kp, sizeof kp);
  Packet reply{};
  ASSERT_EQ(ExchangePacket(kSocket, request, reply), ExchangeResult::kReply);
  EXPECT_EQ(reply.cmdId, 8);
  ASSERT_EQ(reply.length, sizeof kp + 2);
  std::memcpy(&kp, reply.params, sizeof kp);
  EXPECT_EQ(kp.result, 0);
  EXPECT_GT(kp.position[0], 0.0f) << "the stretched arm lies along x";

  EXPECT_EQ(ExchangePacket("/tmp/no-such.sock", request, reply), ExchangeResult::kError) << "no endpoint there";

  {
    HostSegment segment;
    std::string error;
    ASSERT_TRUE(segment.Attach(kKey, error)) << error;
    const AxesGroupRef& g = segment.records()->axesGroup;
    for (int j = 0; j < 4; ++j) {
      EXPECT_EQ(g.m_Joints[j].m_NewSetValues.m_Position, g.m_Joints[j].m_ActPosition) << "joint " << j + 1 << " at rest";
    }
  }

  // At least 1,000 cycles of 4 ms.
  std::this_thread::sleep_for(std::chrono::milliseconds(4500));
  const int status = host.stop(SIGTERM, std::chrono::seconds(10));
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string err = readFile(kErrFile);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(err, m, std::regex(R"(cycles (\d+) overruns (\d+))"))) << err;
  EXPECT_GE(std::stoull(m[1]), 1000u) << err;
  EXPECT_FALSE(exists(kSocket)) << "socket removed";
  HostSegment gone;
  std::string error;
  EXPECT_FALSE(gone.Attach(kKey, error)) << "segment removed";
  unlink(kErrFile);
}

TEST(PlcHostProgram, FreeRunWithTheProjectsSettings) {
  const auto r = test::runProcess({test::built::kPlcHost, "--key", std::to_string(kKey + 3), "--socket", kSocket,
                                   "--project", "--cycles", "200", "--log-file", "/tmp/plc_host_kernel.log"},
                                  {}, std::chrono::seconds(30));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("cycles 200 overruns 0"), std::string::npos) << r.err;
  EXPECT_FALSE(exists(kSocket));
  EXPECT_FALSE(readFile("/tmp/plc_host_kernel.log").empty()) << "the kernel's lines reach the file";
  unlink("/tmp/plc_host_kernel.log");
}

TEST(PlcHostProgram, MissingLibraryIsAStartError) {
  const auto r = test::runProcess({test::built::kPlcHost, "--key", std::to_string(kKey + 1), "--socket", kSocket,
                                   "--vantrel", "/tmp/no-such-libvantrel.so"},
                                  {}, std::chrono::seconds(20));
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("cannot load /tmp/no-such-libvantrel.so"), std::string::npos) << r.err;
  EXPECT_FALSE(exists(kSocket));
  HostSegment none;
  std::string error;
  EXPECT_FALSE(none.Attach(kKey + 1, error));
}

TEST(PlcHostProgram, RefusesWhatIsNotOnePacket) {
  test::ChildProcess host({test::built::kPlcHost, "--key", std::to_string(kKey + 2), "--socket", kSocket});
  const auto started = std::chrono::steady_clock::now();
  while (!exists(kSocket) && std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(exists(kSocket));
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, kSocket);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const char shortRequest[10] = {};
  ASSERT_EQ(send(fd, shortRequest, sizeof shortRequest, 0), 10);
  unsigned char answer[8] = {};
  EXPECT_EQ(recv(fd, answer, sizeof answer, 0), 1);
  EXPECT_EQ(answer[0], kEndpointRefused);
  close(fd);
  const int status = host.stop(SIGINT, std::chrono::seconds(10));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// The simulated joints start where the option puts them and stay there while
// the drives are off; anything but four numbers is refused before the start.
TEST(PlcHostProgram, StartJointsOption) {
  for (const char* bad : {"1,2,3", "1,2,3,4,5", "a,2,3,4", "1,,3,4", "nan,0,0,0", "1,2,3,4x", "1e999,0,0,0", ""}) {
    const auto r = test::runProcess(
        {test::built::kPlcHost, "--key", std::to_string(kKey + 4), "--socket", kSocket, "--start-joints", bad}, {},
        std::chrono::seconds(20));
    EXPECT_EQ(r.exitCode, 2) << bad;
    EXPECT_NE(r.err.find("bad --start-joints"), std::string::npos) << bad << ": " << r.err;
    EXPECT_FALSE(exists(kSocket)) << bad;
  }

  test::ChildProcess host({test::built::kPlcHost, "--key", std::to_string(kKey + 4), "--socket", kSocket,
                           "--realtime", "--start-joints", "140,-90.5,-50,12"});
  const auto started = std::chrono::steady_clock::now();
  while (!exists(kSocket) && std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(exists(kSocket));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  {
    HostSegment segment;
    std::string error;
    ASSERT_TRUE(segment.Attach(kKey + 4, error)) << error;
    const AxesGroupRef& g = segment.records()->axesGroup;
    const double expected[4] = {140.0, -90.5, -50.0, 12.0};
    for (int j = 0; j < 4; ++j) EXPECT_EQ(g.m_Joints[j].m_ActPosition, expected[j]) << "joint " << j + 1;
  }
  const int status = host.stop(SIGTERM, std::chrono::seconds(10));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace zelor::sim
