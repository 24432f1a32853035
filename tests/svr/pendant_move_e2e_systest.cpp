// The pendant's road with the real motion kernel and the simulated drives:
// enabled through the enable request word, moved with interface/go, watched
// through protocol/exchange and the motion-done query.
#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <json/json.h>

#include "built_paths.h"
#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "process.h"
#include "support/host_observers.h"
#include "support/http_client.h"
#include "support/plc_host_run.h"

namespace zelor::test {
namespace {

using namespace std::chrono_literals;

constexpr int kDataPort = 12345;

Json::Value exchange() {
  const HttpReply r = httpRequest(kDataPort, "GET", "/protocol/exchange");
  Json::Value root;
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  if (r.status != 200 || !reader->parse(r.body.data(), r.body.data() + r.body.size(), &root, &errors)) return {};
  return root;
}

std::vector<double> numbers(const Json::Value& array) {
  std::vector<double> out;
  for (const Json::Value& v : array) out.push_back(v.asDouble());
  return out;
}

TEST(PendantMove, GoMovesTheArmAndTheMotionDoneQueryFollows) {
  ChildProcess host(dataServerHostCommand("0x5A31", {"--start-joints", "0,90,-50,0"}));
  ASSERT_TRUE(pollUntil([] { return readWholeFile(kHostFifoLog).find("Quillon started") != std::string::npos; }, 30s))
      << readWholeFile(kHostErr);
  ASSERT_TRUE(waitForHttp(kDataPort, "/properties/axis", 30000));
  ASSERT_EQ(httpRequest(kDataPort, "POST", "/interface/hardware", "{\"enable\": false}").status, 200);

  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kEnableRequest, 1);
  ASSERT_TRUE(pollUntil([&] { return map.loadWord(robot_map::kIsDisabled) == 0; }, 25s));
  // The pendant's three-position switch held.
  HostRecordsView records(0x5A31);
  std::atomic_ref<std::uint32_t>(records.get().axesGroup.m_EnableState).store(1);
  ASSERT_TRUE(pollUntil([] { return exchange()["controlMode"] == "enable"; }, 5s));

  const Json::Value before = exchange();
  const std::vector<double> start = numbers(before["cartesianCoordinate"]);
  const std::vector<double> joints = numbers(before["jointCoordinate"]);
  ASSERT_EQ(start.size(), 4u);
  ASSERT_EQ(joints.size(), 4u);
  char body[256];
  std::snprintf(body, sizeof body,
                "{\"value\":true,\"x\":%.3f,\"y\":%.3f,\"z\":%.3f,\"a\":%.3f,\"mode\":\"go\","
                "\"armOrientation\":\"right\",\"tool\":0,\"user\":0}",
                start[0] + 20, start[1] - 30, start[2] - 20, start[3] + 15);
  const HttpReply moved = httpRequest(kDataPort, "POST", "/interface/go", body, 10000);
  EXPECT_EQ(moved.body, "{\"status\":true}");

  const auto jointsMoved = [&] {
    const std::vector<double> now = numbers(exchange()["jointCoordinate"]);
    if (now.size() != 4) return false;
    for (int j = 0; j < 4; ++j) {
      if (std::fabs(now[j] - joints[j]) > 0.5) return true;
    }
    return false;
  };
  EXPECT_TRUE(pollUntil(jointsMoved, 5s));
  EXPECT_TRUE(pollUntil([] { return httpRequest(kDataPort, "GET", "/interface/go").body == "{\"value\":true}"; }, 10s));
  const std::vector<double> arrived = numbers(exchange()["cartesianCoordinate"]);
  ASSERT_EQ(arrived.size(), 4u);
  EXPECT_NEAR(arrived[0], start[0] + 20, 0.05);
  EXPECT_NEAR(arrived[1], start[1] - 30, 0.05);

  // The pendant's outputs reach the host's output image through the kernel.
  const HttpReply outputs = httpRequest(
      kDataPort, "POST", "/protocol/exchange",
      "{\"controlMode\":\"enable\",\"coordinate\":\"joint\",\"jogMode\":\"jog\",\"toolCoordinate\":0,"
      "\"userCoordinate\":0,\"alarms\":false,\"outputs\":{\"enable\":true,\"value\":[5]},\"hardware\":false}");
  EXPECT_EQ(outputs.status, 200);
  const std::uint8_t* dout = records.get().dout;
  EXPECT_TRUE(pollUntil([&] { return dout[0] == 1 && dout[2] == 1; }, 2s));
  for (int i : {1, 3, 4, 5, 6, 7}) EXPECT_EQ(dout[i], 0) << i;
  EXPECT_EQ(numbers(exchange()["outputs"]), (std::vector<double>{5, 0, 0, 0, 0, 0, 0, 0}));

  const int status = host.stop(SIGTERM, 20s);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << readWholeFile(kHostErr);
  unlink(kHostFifoLog);
  unlink(kHostErr);
}

}  // namespace
}  // namespace zelor::test
