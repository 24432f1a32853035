// Point conversion (8, 9) and frame composition (228) through the mailbox.
#include <cmath>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "common/command/point_conversion_handlers.h"
#include "common/kernel/alarms.h"
#include "common/kinematics/kinematics.h"
#include "support/kernel_commands.h"

namespace zelor::test {
namespace {

constexpr double kZOffset = 35.0;

class PointConversion : public KernelCommands {
 protected:
  void SetUp() override {
    KernelCommands::SetUp();
    SetTestArm();
    gScaraMechPara[3] = kZOffset;
  }

  static KinematicsPose request(const float position[4], const float user[4], const float tool[4],
                                std::uint8_t handType = 0, std::uint8_t usedef = 0) {
    KinematicsPose kp{};
    std::memcpy(kp.position, position, sizeof kp.position);
    std::memcpy(kp.user, user, sizeof kp.user);
    std::memcpy(kp.tool, tool, sizeof kp.tool);
    kp.handType = handType;
    kp.usedefhandType = usedef;
    // Padding and the result word as a client may leave them.
    kp.reserved0[0] = 0x11;
    kp.reserved0[2] = 0x33;
    kp.reserved1[1] = 0x77;
    kp.result = 1234;
    return kp;
  }

  KinematicsPose convert(std::uint16_t id, const KinematicsPose& kp) {
    return replyRecord<KinematicsPose>(exchange(makePacket(id, 0, &kp, sizeof kp)));
  }

  static double L() { return gScaraMechPara[0] + gScaraMechPara[1]; }
};

const float kZero[4] = {0, 0, 0, 0};

TEST_F(PointConversion, ForwardOfTheStretchedArm) {
  struct Case {
    const char* why;
    float user[4];
    float tool[4];
    double x;  // relative to L1 + L2
  };
  const Case cases[] = {
      {"no frames", {0, 0, 0, 0}, {0, 0, 0, 0}, 0.0},
      {"user frame at x 100", {100, 0, 0, 0}, {0, 0, 0, 0}, -100.0},
      {"tool of x 50", {0, 0, 0, 0}, {50, 0, 0, 0}, 50.0},
      {"the tool's own r is not used", {0, 0, 0, 0}, {50, 0, 0, 90}, 50.0},
  };
  for (const Case& c : cases) {
    const KinematicsPose sent = request(kZero, c.user, c.tool, 1, 0);
    const KinematicsPose got = convert(8, sent);
    EXPECT_NEAR(got.position[0], L() + c.x, 1e-3) << c.why;
    EXPECT_NEAR(got.position[1], 0.0, 1e-3) << c.why;
    EXPECT_NEAR(got.position[2], kZOffset, 1e-4) << c.why;
    EXPECT_NEAR(got.position[3], 0.0, 1e-4) << c.why;
    EXPECT_EQ(got.result, 0) << c.why;
    // Everything else comes back as sent.
    EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(&got) + 16, reinterpret_cast<const char*>(&sent) + 16, 36), 0)
        << c.why;
    EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(&got) + 56, reinterpret_cast<const char*>(&sent) + 56, 4), 0)
        << c.why;
  }
}

TEST_F(PointConversion, InverseOfForwardReturnsTheJoints) {
  std::mt19937 rng(20240529);
  std::uniform_real_distribution<float> j1(-160, 160), j2(10, 140), j3(0, 180), j4(-300, 300);
  std::uniform_real_distribution<float> frame(-200, 200), angle(-180, 180);
  for (int n = 0; n < 200; ++n) {
    const bool rightHanded = n % 2 == 0;
    const float joints[4] = {j1(rng), rightHanded ? j2(rng) : -j2(rng), j3(rng), j4(rng)};
    const float user[4] = {frame(rng), frame(rng), frame(rng) / 10, angle(rng)};
    const float tool[4] = {frame(rng) / 4, frame(rng) / 4, frame(rng) / 10, 0};

    const KinematicsPose forward = convert(8, request(joints, user, tool));
    ASSERT_EQ(forward.result, 0);
    WCSPosition direct{};
    ForwardCal(JointTheta{joints[0], joints[1], joints[2], joints[3]}, &direct,
               tagToolParams{0, tool[0], tool[1], tool[2], tool[3]}, tagLocalParams{0, user[0], user[1], user[2], user[3]});
    EXPECT_EQ(forward.position[0], static_cast<float>(direct.x)) << "seed case " << n;
    EXPECT_EQ(forward.position[3], static_cast<float>(direct.r)) << "seed case " << n;

    const KinematicsPose inverse = convert(9, request(forward.position, user, tool, rightHanded ? 1 : 0, 0));
    ASSERT_EQ(inverse.result, 0) << "seed case " << n;
    EXPECT_EQ(inverse.handType, rightHanded ? 1 : 0);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(inverse.position[i], joints[i], 0.02) << "seed case " << n << " joint " << i;

    const WCSPosition pose{forward.position[0], forward.position[1], forward.position[2], forward.position[3]};
    const tagToolParams t{0, tool[0], tool[1], tool[2], tool[3]};
    const tagLocalParams u{0, user[0], user[1], user[2], user[3]};
    JointTheta solved{};
    ASSERT_EQ(InverseCal(&pose, rightHanded, &solved, kCheckAllJoints, &t, &u), kKinOk);
    EXPECT_EQ(inverse.position[0], static_cast<float>(solved.j1));
    EXPECT_EQ(inverse.position[3], static_cast<float>(solved.j4));
  }
}

TEST_F(PointConversion, InverseTakesTheKernelsArmOrientationWhenAsked) {
  struct Case {
    std::uint8_t kernel;
    std::uint8_t handType;
    std::uint8_t usedef;
    std::uint8_t replyHand;
    bool positiveJ2;
  };
  const Case cases[] = {
      {1, 0, 1, 1, true}, {0, 1, 1, 0, false}, {0, 1, 0, 1, true}, {1, 0, 0, 0, false}, {0, 7, 0, 7, true},
  };
  const float pose[4] = {250, 120, 50, 10};
  for (const Case& c : cases) {
    gSysParams.armOrientation = c.kernel;
    core.logs.clear();
    const KinematicsPose got = convert(9, request(pose, kZero, kZero, c.handType, c.usedef));
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.handType, c.replyHand);
    EXPECT_EQ(got.position[1] > 0, c.positiveJ2) << "kernel " << int(c.kernel) << " hand " << int(c.handType);
    EXPECT_TRUE(logged("Command OnPointInverseCal sysParams armOrientation: " + std::to_string(c.kernel) + " \r\n"));
    EXPECT_TRUE(
        logged("Command OnPointInverseCal kinematicsPose handType: " + std::to_string(c.positiveJ2 ? 1 : 0) + " \r\n"));
  }
}

TEST_F(PointConversion, InverseFailuresReplyTheCodeAndZeroJoints) {
  struct Case {
    const char* why;
    float pose[4];
    std::int32_t code;
  };
  const Case cases[] = {
      {"beyond L1 + L2", {500, 0, 50, 0}, 17},
      {"joint 3 below its travel", {300, 100, -500, 0}, 18},
      {"joint 4 beyond its limit", {300, 100, 50, 720}, 18},
  };
  for (const Case& c : cases) {
    std::uint8_t alarmsBefore[32];
    std::memcpy(alarmsBefore, gAlarmSysState, sizeof alarmsBefore);
    const KinematicsPose got = convert(9, request(c.pose, kZero, kZero, 1, 0));
    EXPECT_EQ(got.result, c.code) << c.why;
    for (float v : got.position) EXPECT_EQ(v, 0.0f) << c.why;
    EXPECT_EQ(std::memcmp(alarmsBefore, gAlarmSysState, sizeof alarmsBefore), 0) << c.why << ": no alarm";
  }
}

TEST_F(PointConversion, OnlySixtyByteRequestsAreComputed) {
  for (std::uint16_t id : {8, 9}) {
    for (std::size_t size : {0, 59, 61}) {
      std::uint8_t bytes[61] = {};
      core.logs.clear();
      const Packet reply = exchange(makePacket(id, 0, bytes, size));
      EXPECT_EQ(reply.length, 2) << "id " << id << ", " << size << " bytes";
      EXPECT_TRUE(core.logs.empty()) << "id " << id << ", " << size << " bytes";
    }
  }
}

TEST_F(PointConversion, NonFiniteValuesAreNoConversion) {
  const float nanPose[4] = {NAN, 0, 0, 0};
  const float infUser[4] = {0, INFINITY, 0, 0};
  for (std::uint16_t id : {8, 9}) {
    KinematicsPose kp = request(nanPose, kZero, kZero);
    EXPECT_EQ(exchange(makePacket(id, 0, &kp, sizeof kp)).length, 2) << "id " << id;
    kp = request(kZero, infUser, kZero);
    EXPECT_EQ(exchange(makePacket(id, 0, &kp, sizeof kp)).length, 2) << "id " << id;
  }
}

TEST_F(PointConversion, InputAndOutputLines) {
  const float joints[4] = {1, 2, 3, 4};
  const float user[4] = {5, 6, 7, 8};
  const float tool[4] = {9, 10, 11, 12};
  convert(8, request(joints, user, tool));
  EXPECT_TRUE(logged("Command OnPointForwardCal input position: \r\n 1.000000,2.000000,3.000000,4.000000,5.000000,"
                     "6.000000"));
  EXPECT_TRUE(logged("Command OnPointForwardCal input user: \r\n 5.000000,6.000000,7.000000,8.000000,9.000000,"
                     "10.000000"));
  const std::string output = "Command OnPointForwardCal output position: \r\n ";
  bool outputLogged = false;
  for (const std::string& line : core.logs) outputLogged = outputLogged || line.rfind(output, 0) == 0;
  EXPECT_TRUE(outputLogged);
}

struct FrameCase {
  const char* why;
  float coordinate[4];
  float diff[4];
  std::uint8_t direction;
  float expected[4];
};

TEST_F(PointConversion, FrameComposition) {
  const FrameCase cases[] = {
      {"offset in the frame's axes", {100, 0, 0, 90}, {10, 0, 0, 0}, 0, {100, 10, 0, 90}},
      {"offset in the outer axes", {100, 0, 0, 90}, {10, 0, 0, 0}, 1, {110, 0, 0, 90}},
      {"any other direction", {100, 0, 0, 90}, {10, 0, 0, 0}, 2, {0, 0, 0, 0}},
      {"rotation wraps", {0, 0, 0, 170}, {0, 0, 0, 20}, 0, {0, 0, 0, -170}},
      {"z adds", {1, 2, 3, 0}, {0, 0, 4, 0}, 1, {1, 2, 7, 0}},
      {"both rotated, direction 1", {10, 0, 5, 0}, {0, 0, 0, 90}, 1, {0, 10, 5, 90}},
  };
  for (const FrameCase& c : cases) {
    CorrectParams_t cp{};
    std::memcpy(cp.coordinate, c.coordinate, sizeof c.coordinate);
    std::memcpy(cp.diff, c.diff, sizeof c.diff);
    cp.coordinate[4] = cp.diff[5] = 1e30f;  // not read
    cp.matrix_direction = c.direction;
    const Packet reply = exchange(makePacket(228, 0, &cp, sizeof cp));
    ASSERT_EQ(reply.length, 24 + 2) << c.why;
    float got[6];
    std::memcpy(got, reply.params, sizeof got);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], c.expected[i], 1e-3) << c.why << " value " << i;
    EXPECT_EQ(got[4], 0.0f);
    EXPECT_EQ(got[5], 0.0f);
  }
  EXPECT_TRUE(logged("ret:\r\n 0.000000,10.000000,5.000000,90.000000,0.000000,0.000000") ||
              logged("ret:\r\n -0.000000,10.000000,5.000000,90.000000,0.000000,0.000000"));
}

TEST_F(PointConversion, FrameCompositionRefusesNonFiniteValues) {
  CorrectParams_t cp{};
  cp.coordinate[3] = NAN;
  EXPECT_EQ(exchange(makePacket(228, 0, &cp, sizeof cp)).length, 2);
  cp = {};
  cp.diff[0] = INFINITY;
  EXPECT_EQ(exchange(makePacket(228, 0, &cp, sizeof cp)).length, 2);
  cp = {};
  cp.diff[5] = NAN;  // not read
  EXPECT_EQ(exchange(makePacket(228, 0, &cp, sizeof cp)).length, 24 + 2);
}

TEST_F(PointConversion, QueuedBitRunsAndRepliesTheIndex) {
  CorrectParams_t cp{};
  cp.coordinate[0] = 1;
  const std::uint64_t before = enqueued();
  const Packet reply = exchange(makePacket(228, kCtrlQueued, &cp, sizeof cp));
  EXPECT_EQ(reply.length, 8 + 2);
  EXPECT_EQ(replyIndex(reply), before);
  EXPECT_EQ(enqueued(), before) << "nothing enqueued";
  EXPECT_TRUE(logged("ret:\r\n 1.000000,0.000000,0.000000,0.000000,0.000000,0.000000"));
}

}  // namespace
}  // namespace zelor::test
