// The whole stack from the default project: the PLC-runtime stand-in with the
// real data server, the motion kernel and the simulated drives, beside the
// real control program. A client enables the robot on 29999, moves it with
// MovJ on 30003 and watches the pose on 30004.
#include <sys/shm.h>

#include <atomic>

#include "common/ipc/semlib.h"
#include "common/ipc/semlib_shm.h"
#include "support/http_client.h"
#include "support/script_alarm.h"
#include "support/whole_stack.h"

namespace zelor::test {
namespace {

TEST_F(WholeStack, EnableAndMoveEndToEnd) {
  ASSERT_NO_FATAL_FAILURE(start("0,90,-50,0"));
  EXPECT_EQ(word(robot_map::kIsDisabled), 1) << "the disabled word follows the kernel";

  // A script alarm blocks the enable until the clear-error request. The
  // data server reads the alarm slot once a pendant or tool has switched its
  // hardware flag off, as here.
  ASSERT_EQ(httpRequest(kDataPort, "POST", "/interface/hardware", "{\"enable\": false}").status, 200);
  semlib_shm* shm = zelor::test::raiseScriptAlarm(4242);
  ASSERT_NE(shm, nullptr);
  const bool inError = waitFor([&] { return word(robot_map::kIsErr) == 1; }, 5s);
  const int flagLeft = std::atomic_ref<std::uint8_t>(shm->alarmFlag).load();
  shmdt(shm);
  ASSERT_TRUE(inError) << "slot flag " << flagLeft << "\n" << linesWith("ALARMS");
  const auto refusedAt = Clock::now();
  EXPECT_EQ(command(29999, "EnableRobot()", "-1,{},EnableRobot();", 5s), "-1,{},EnableRobot();");
  EXPECT_LT(Clock::now() - refusedAt, 2s) << "refused at once";
  EXPECT_EQ(word(robot_map::kEnableRequest), 0);
  EXPECT_EQ(word(robot_map::kIsDisabled), 1);
  robotMap::instance().storeWord(robot_map::kClearErrorRequest, 1);
  EXPECT_TRUE(waitFor([&] { return word(robot_map::kIsErr) == 0; }, 3s)) << "error word after the clear request";

  const auto enableAt = Clock::now();
  ASSERT_EQ(command(29999, "EnableRobot()", "0,{},EnableRobot();", 25s), "0,{},EnableRobot();");
  EXPECT_LT(Clock::now() - enableAt, 16s);
  EXPECT_TRUE(channel15_.waitForLine(" isRequestEnable true", 1s));
  EXPECT_EQ(word(robot_map::kIsDisabled), 0);

  // The start pose from a packet sent after the enable.
  const std::vector<char> first = feedback_->next(feedback_->packets(), 2s);
  ASSERT_EQ(first.size(), kPacketBytes);
  const Four start = fourAt(first, kPoseAt);
  const Four target = {start[0] + 20, start[1] - 30, start[2] - 20, start[3] + 15};
  const std::string line = movJ(target);
  const auto sentAt = Clock::now();
  ASSERT_EQ(command(30003, line, "0,{}," + line + ";", 5s), "0,{}," + line + ";");
  const auto answered = Clock::now() - sentAt;

  // Arrived: at the target, the joints unchanged for 200 ms (a packet may
  // repeat the record when the snapshot runs late, so one pair is not enough).
  Four lastJoints{};
  auto lastChange = Clock::now();
  const auto arrivedAtTarget = [&] {
    const Four joints = feedback_->joints();
    if (joints != lastJoints) {
      lastJoints = joints;
      lastChange = Clock::now();
    }
    return near(feedback_->pose(), target, 0.01) && Clock::now() - lastChange >= 200ms;
  };
  ASSERT_TRUE(waitFor(arrivedAtTarget, 10s))
      << "start " << text(start) << " target " << text(target) << " pose " << text(feedback_->pose())
      << " joints " << text(feedback_->joints());
  EXPECT_LT(answered, 2s) << "the reply does not wait for the move";
  EXPECT_LT(answered, Clock::now() - sentAt) << "answered before the move ended";

  // The arm stays where it arrived.
  const Four arrived = feedback_->joints();
  const std::size_t seen = feedback_->packets();
  // Over the next sixty packets the joints do not move.
  bool moved = false;
  ASSERT_TRUE(waitFor([&] {
    moved = moved || !near(feedback_->joints(), arrived, 1e-9);
    return moved || feedback_->packets() > seen + 60;
  }, 10s)) << "the stream stopped";
  EXPECT_FALSE(moved) << text(arrived) << " then " << text(feedback_->joints());
  EXPECT_TRUE(near(feedback_->pose(), target, 0.01)) << text(feedback_->pose());
}

TEST_F(WholeStack, JointOutsideTheSoftLimits) {
  ASSERT_NO_FATAL_FAILURE(start("140,90,-50,0"));
  EXPECT_EQ(word(robot_map::kIsErr), 0) << "no alarm while the drives are off";

  // The road enables the drives and checks no limit.
  ASSERT_EQ(command(29999, "EnableRobot()", "0,{},EnableRobot();", 25s), "0,{},EnableRobot();");
  EXPECT_TRUE(channel15_.waitForLine("GET algs ALARMS: alarm ID: 64", 3s));
  EXPECT_TRUE(waitFor([&] { return word(robot_map::kIsErr) == 1; }, 3s));

  // The kernel keeps its queue stopped: the move is taken but never runs.
  const std::vector<char> before = feedback_->next(feedback_->packets(), 2s);
  ASSERT_EQ(before.size(), kPacketBytes);
  const Four start = fourAt(before, kPoseAt);
  const Four target = {start[0] - 20, start[1] + 30, start[2] - 20, start[3] + 15};
  const std::string line = movJ(target);
  ASSERT_EQ(command(30003, line, "0,{}," + line + ";", 5s), "0,{}," + line + ";");
  const std::size_t seen = feedback_->packets();
  // Over the next 375 packets (3 s of the stream) the pose does not move.
  bool moved = false;
  ASSERT_TRUE(waitFor([&] {
    moved = moved || !near(feedback_->pose(), start, 1e-6);
    return moved || feedback_->packets() > seen + 375;
  }, 15s)) << "the stream stopped";
  EXPECT_FALSE(moved) << text(start) << " then " << text(feedback_->pose());

  EXPECT_EQ(command(29999, "EnableRobot()", "-1,{},EnableRobot();", 5s), "-1,{},EnableRobot();");
}

}  // namespace
}  // namespace zelor::test
