// Robot control on the whole stack: an alarm cleared by ClearError, the status
// reads and kinematics against the real kernel, Pause / Continue / ResetRobot
// of a running move, and DisableRobot.
#include <cstdlib>

#include "support/whole_stack.h"

namespace zelor::test {
namespace {

constexpr std::size_t kRobotModeAt = 24;
constexpr std::int64_t kModeEnabled = 5;
constexpr std::int64_t kModeError = 9;

std::int64_t robotModeOf(const std::vector<char>& packet) {
  std::int64_t mode = -1;
  if (packet.size() >= kRobotModeAt + sizeof mode) std::memcpy(&mode, packet.data() + kRobotModeAt, sizeof mode);
  return mode;
}

// "code,{a,b,...,hand},echo;" split into its values.
std::vector<std::string> valuesOf(const std::string& reply) {
  const std::size_t open = reply.find('{');
  const std::size_t close = reply.find('}');
  std::vector<std::string> values;
  if (open == std::string::npos || close == std::string::npos) return values;
  std::string inner = reply.substr(open + 1, close - open - 1);
  std::size_t at = 0;
  while (at <= inner.size()) {
    const std::size_t comma = inner.find(',', at);
    values.push_back(inner.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return values;
}

Four firstFour(const std::vector<std::string>& values) {
  Four v{};
  for (std::size_t i = 0; i < 4 && i < values.size(); ++i) v[i] = std::strtod(values[i].c_str(), nullptr);
  return v;
}

class RobotControlStack : public WholeStack {
 protected:
  // Reads until the reply's closing ";" of the echo.
  std::string ask(Client& client, const std::string& line, std::chrono::milliseconds timeout = 5s) {
    client.send(line);
    std::string got;
    const auto deadline = Clock::now() + timeout;
    const std::string end = line + ";";
    while (Clock::now() < deadline && (got.size() < end.size() || got.compare(got.size() - end.size(), end.size(), end) != 0)) {
      got += client.read(1, 100ms);
    }
    return got;
  }

  bool arrivedAt(const Four& target, std::chrono::milliseconds timeout) {
    Four lastJoints{};
    auto lastChange = Clock::now();
    return waitFor([&] {
      const Four joints = feedback_->joints();
      if (joints != lastJoints) {
        lastJoints = joints;
        lastChange = Clock::now();
      }
      return near(feedback_->pose(), target, 0.01) && Clock::now() - lastChange >= 200ms;
    }, timeout);
  }
};

TEST_F(RobotControlStack, ClearErrorRecoversFromAMoveOutOfReach) {
  ASSERT_NO_FATAL_FAILURE(start("0,90,-50,0"));
  ASSERT_EQ(command(29999, "EnableRobot()", "0,{},EnableRobot();", 25s), "0,{},EnableRobot();");
  ASSERT_TRUE(waitFor([&] { return robotModeOf(feedback_->latest()) == kModeEnabled; }, 3s));

  const std::string away = "MovJ(5000,5000,0,0)";
  ASSERT_EQ(command(30003, away, "0,{}," + away + ";", 5s), "0,{}," + away + ";");
  ASSERT_TRUE(waitFor([&] { return robotModeOf(feedback_->latest()) == kModeError; }, 5s))
      << "mode " << robotModeOf(feedback_->latest());
  EXPECT_EQ(command(29999, "EnableRobot()", "-1,{},EnableRobot();", 5s), "-1,{},EnableRobot();");

  ASSERT_EQ(command(29999, "ClearError()", "0,{},ClearError();", 5s), "0,{},ClearError();");
  ASSERT_TRUE(waitFor([&] { return robotModeOf(feedback_->latest()) != kModeError && word(robot_map::kIsErr) == 0; },
                      5s))
      << "mode " << robotModeOf(feedback_->latest());
  ASSERT_EQ(command(29999, "EnableRobot()", "0,{},EnableRobot();", 25s), "0,{},EnableRobot();");

  const Four start = feedback_->pose();
  const Four target = {start[0] + 20, start[1] - 30, start[2] - 20, start[3] + 15};
  const std::string line = movJ(target);
  ASSERT_EQ(command(30003, line, "0,{}," + line + ";", 5s), "0,{}," + line + ";");
  EXPECT_TRUE(arrivedAt(target, 10s)) << "start " << text(start) << " target " << text(target) << " pose "
                                      << text(feedback_->pose());
}

TEST_F(RobotControlStack, StatusKinematicsPauseAndDisable) {
  ASSERT_NO_FATAL_FAILURE(start("0,90,-50,0"));
  ASSERT_EQ(command(29999, "EnableRobot()", "0,{},EnableRobot();", 25s), "0,{},EnableRobot();");
  // The port serves one client at a time: wait until the enable's has gone.
  const std::unique_ptr<Client> session = acceptedClient(29999, 5s);
  ASSERT_TRUE(session);
  Client& client = *session;

  EXPECT_EQ(ask(client, "RobotMode()"), "0,{5},RobotMode();");
  const std::string angles = ask(client, "GetAngle()");
  EXPECT_TRUE(near(firstFour(valuesOf(angles)), Four{0, 90, -50, 0}, 0.001)) << angles;
  const std::string pose = ask(client, "GetPose()");
  ASSERT_NE(pose.find(",Right},GetPose();"), std::string::npos) << pose;
  const Four poseValues = firstFour(valuesOf(pose));

  const std::string forward = ask(client, "PositiveSolution(0,90,-50,0,0,0,0,0)");
  EXPECT_EQ(forward.substr(0, 2), "0,") << forward;
  EXPECT_TRUE(near(firstFour(valuesOf(forward)), poseValues, 0.001)) << forward << " / " << pose;

  char inverse[200];
  std::snprintf(inverse, sizeof inverse, "InverseSolution(%.6f,%.6f,%.6f,%.6f,0,0", poseValues[0], poseValues[1],
                poseValues[2], poseValues[3]);
  const std::string right = ask(client, std::string(inverse) + ",1)");
  EXPECT_EQ(right.substr(0, 2), "0,") << right;
  EXPECT_TRUE(near(firstFour(valuesOf(right)), Four{0, 90, -50, 0}, 0.01)) << right;
  const std::string left = ask(client, std::string(inverse) + ")");
  EXPECT_TRUE(near(firstFour(valuesOf(left)), Four{75.75, -90, -50, 104.25}, 0.5)) << left;

  // A long move, paused and continued.
  const Four start = feedback_->pose();
  const Four target = {start[0] - 150, start[1] + 150, start[2] - 50, start[3] + 90};
  const std::string line = movJ(target);
  ASSERT_EQ(command(30003, line, "0,{}," + line + ";", 5s), "0,{}," + line + ";");
  ASSERT_TRUE(waitFor([&] { return !near(feedback_->pose(), start, 0.5); }, 3s)) << "the move never started";
  EXPECT_EQ(ask(client, "Pause()"), "0,{},Pause();");
  Four held{};
  auto heldSince = Clock::now();
  const bool stood = waitFor([&] {
    const Four now = feedback_->joints();
    if (now != held) {
      held = now;
      heldSince = Clock::now();
    }
    return Clock::now() - heldSince >= 300ms;
  }, 1500ms);
  EXPECT_TRUE(stood) << "the arm went on moving after Pause";
  EXPECT_FALSE(near(feedback_->pose(), target, 0.01)) << "the move ended before the pause";
  EXPECT_EQ(ask(client, "Continue()"), "0,{},Continue();");
  EXPECT_TRUE(arrivedAt(target, 20s)) << "target " << text(target) << " pose " << text(feedback_->pose());

  EXPECT_EQ(ask(client, "ResetRobot()"), "0,{},ResetRobot();");
  const std::string back = movJ(start);
  ASSERT_EQ(command(30003, back, "0,{}," + back + ";", 5s), "0,{}," + back + ";");
  EXPECT_TRUE(arrivedAt(start, 20s)) << "start " << text(start) << " pose " << text(feedback_->pose());

  const auto disableAt = Clock::now();
  EXPECT_EQ(ask(client, "DisableRobot()", 15s), "0,{},DisableRobot();");
  EXPECT_LT(Clock::now() - disableAt, 11s);
  EXPECT_TRUE(waitFor([&] { return word(robot_map::kIsDisabled) == 1; }, 2s));
}

}  // namespace
}  // namespace zelor::test
