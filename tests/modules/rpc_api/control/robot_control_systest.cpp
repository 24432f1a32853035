// Robot control and status commands through port 29999 against the
// data-server peer.
#include "rpc_api/control/control_rig.h"

namespace zelor::test {
namespace {

using namespace ids;
using Ids = std::vector<std::uint16_t>;

class RobotControl : public ControlRig {};

TEST_F(RobotControl, RefusalsSendNothingAndLeaveTheWords) {
  struct Row {
    std::size_t setWord;  // 0: none
    std::string command;
    std::string reply;
    std::size_t unchanged;  // a word that must stay 0; 0: none
  };
  const std::vector<Row> rows = {
      {robot_map::kIsErr, "DisableRobot()", "-1", robot_map::kDisableRequest},
      {0, "DisableRobot(1)", "-20000", robot_map::kDisableRequest},
      {robot_map::kUnderEmergency, "ClearError()", "-1", robot_map::kClearErrorRequest},
      {robot_map::kScriptStatus, "ResetRobot()", "-1", 0},
      {robot_map::kIsErr, "Pause()", "-1", robot_map::kPauseCopy},
      {robot_map::kIsErr, "StartDrag()", "-1", robot_map::kDragStartRequest},
      {robot_map::kUnderEmergency, "StartDrag()", "-1", robot_map::kDragStartRequest},
      {robot_map::kScriptStatus, "StartDrag()", "-1", robot_map::kDragStartRequest},
      {robot_map::kIsDisabled, "StartDrag()", "-1", robot_map::kDragStartRequest},
      {0, "StartDrag(1)", "-20000", robot_map::kDragStartRequest},
      {robot_map::kIsDisabled, "SetcaliHome()", "-1", 0},
      {robot_map::kScriptStatus, "SetcaliHome()", "-1", 0},
      {0, "GetPose(1)", "-20000", 0},
      {0, "GetAngle(1)", "-20000", 0},
      {0, "PositiveSolution(1,2,3,4,0,0,10,0)", "-40007", 0},
      {0, "PositiveSolution(1,2,a,4,0,0,0,0)", "-30003", 0},
      {0, "PositiveSolution(1,2,3,4,0,0,0)", "-20000", 0},
      {0, "InverseSolution(1,2,3,4,0,12)", "-40006", 0},
      {0, "InverseSolution(1,2,3,4,0,0,0,12)", "-40008", 0},
      {0, "InverseSolution(1,2,3,4,0,0,x)", "-30007", 0},
      {0, "EmergencyStop(1)", "-20000", robot_map::kEStopRequest},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command + " with word " + std::to_string(row.setWord));
    if (row.setWord != 0) setWord(row.setWord, 1);
    const std::string expected = row.reply + ",{}," + row.command + ";";
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(row.command, expected, sent), expected);
    EXPECT_TRUE(sent.empty()) << describe(sent);
    if (row.unchanged != 0) {
      EXPECT_EQ(word(row.unchanged), 0);
    }
    if (row.setWord != 0) setWord(row.setWord, 0);
  }
  setRobotMode(4);
  EXPECT_EQ(call("StartDrag()", "-1,{},StartDrag();"), "-1,{},StartDrag();");
  setRobotMode(5);
  setWord(robot_map::kDragMode, 2);
  EXPECT_EQ(call("StopDrag()", "-1,{},StopDrag();"), "-1,{},StopDrag();");
  EXPECT_EQ(word(robot_map::kDragStopRequest), 0);
}

TEST_F(RobotControl, QueueAndControlTypeCommands) {
  std::vector<PeerRequest> sent;
  EXPECT_EQ(call("EmergencyStop()", "0,{},EmergencyStop();", sent), "0,{},EmergencyStop();");
  EXPECT_TRUE(sent.empty()) << describe(sent);
  EXPECT_EQ(word(robot_map::kEStopRequest), 1);

  EXPECT_EQ(call("AutoManual_Auto(x)", "0,{},AutoManual_Auto(x);", sent), "0,{},AutoManual_Auto(x);");
  ASSERT_EQ(idsOf(sent), Ids{kControlType});
  EXPECT_EQ(sent[0].ctrl, kWriteNow);
  EXPECT_EQ(sent[0].params, Bytes{1});
  EXPECT_EQ(call("AutoManual_Manual()", "0,{},AutoManual_Manual();", sent), "0,{},AutoManual_Manual();");
  ASSERT_EQ(idsOf(sent), Ids{kControlType});
  EXPECT_EQ(sent[0].params, Bytes{2});

  setWord(robot_map::kPauseCopy, 1);
  EXPECT_EQ(call("Begin()", "0,{},Begin();", sent), "0,{},Begin();");
  ASSERT_EQ(idsOf(sent), (Ids{kControlType, kStartQueue}));
  EXPECT_EQ(sent[0].params, Bytes{1});
  EXPECT_EQ(word(robot_map::kControlType), 1);
  EXPECT_EQ(word(robot_map::kScriptStatus), 1);
  EXPECT_EQ(word(robot_map::kPauseCopy), 0);

  EXPECT_EQ(call("End()", "0,{},End();", sent), "0,{},End();");
  ASSERT_EQ(idsOf(sent), (Ids{kControlType, kStopQueue}));
  EXPECT_EQ(sent[0].params, Bytes{2});
  EXPECT_EQ(word(robot_map::kControlType), 2);
  EXPECT_EQ(word(robot_map::kScriptStatus), 0);

  // Only the table's keys are callable.
  EXPECT_EQ(call("test(1,2,a,b=c)", "-10000,{},test(1,2,a,b=c);"), "-10000,{},test(1,2,a,b=c);");
  EXPECT_EQ(call("StartRobot()", "-10000,{},StartRobot();"), "-10000,{},StartRobot();");
}

TEST_F(RobotControl, ClearErrorAndClearCollisionFollowTheRawText) {
  std::vector<PeerRequest> sent;
  peer_.setRawAnswers({""});
  EXPECT_EQ(call("ClearError()", "0,{},ClearError();", sent), "0,{},ClearError();");
  ASSERT_EQ(idsOf(sent), (Ids{kClearAlarms, kRawText}));
  EXPECT_EQ(sent[0].ctrl, kWriteNow);
  const std::string text(sent[1].params.begin(), sent[1].params.end());
  EXPECT_EQ(text.substr(0, text.find('\0')), "ClearCollision()");
  EXPECT_EQ(word(robot_map::kClearErrorRequest), 1);

  peer_.setUnansweredNext(kRawText, kRead, 1);
  EXPECT_EQ(call("ClearError()", "-1,{},ClearError();", sent), "-1,{},ClearError();");

  peer_.setRawAnswers({"abc"});
  EXPECT_EQ(call("ClearCollision()", "abcClearCollision();"), "abcClearCollision();");
  peer_.setUnansweredNext(kRawText, kRead, 1);
  EXPECT_EQ(call("ClearCollision()", "CommunicationErrorClearCollision();"), "CommunicationErrorClearCollision();");
}

TEST_F(RobotControl, ResetRobotRestartsTheQueueAfterItsPause) {
  setWord(robot_map::kScriptStatus, 2);
  std::vector<PeerRequest> sent;
  const auto start = Clock::now();
  EXPECT_EQ(call("ResetRobot()", "0,{},ResetRobot();", sent), "0,{},ResetRobot();");
  EXPECT_GE(Clock::now() - start, 160ms);
  EXPECT_EQ(idsOf(sent), (Ids{kStopClear, kStartQueue}));
  EXPECT_EQ(word(robot_map::kScriptStatus), 0);
}

TEST_F(RobotControl, PauseStopsTheQueueAndReadsTheAxisOnlyWithASlideRail) {
  peer_.setReadReply(kExterAxis, concat(bytesOf(std::uint32_t{0}), bytesOf(std::int32_t{-1})));
  std::vector<PeerRequest> sent;
  EXPECT_EQ(call("Pause()", "0,{},Pause();", sent), "0,{},Pause();");
  ASSERT_EQ(idsOf(sent), (Ids{kControlType, kStopQueue, kExterAxis}));
  EXPECT_EQ(sent[0].params, Bytes{2});
  EXPECT_EQ(sent[2].ctrl, kWriteNow);
  EXPECT_EQ(sent[2].params, concat(bytesOf(std::uint32_t{19}), Bytes(8, 0)));
  EXPECT_EQ(word(robot_map::kControlType), 2);
  EXPECT_EQ(word(robot_map::kScriptStatus), 2);
  EXPECT_EQ(word(robot_map::kPauseCopy), 1);

  writeText(projectPath("process/auxJoint/switch.json"), R"({"auxJoint": true, "addPoints": false})");
  EXPECT_EQ(call("Pause()", "-1,{},Pause();"), "-1,{},Pause();");
  peer_.setReadReply(kExterAxis, concat(bytesOf(std::uint32_t{0}), bytesOf(std::int32_t{0})));
  EXPECT_EQ(call("Pause()", "0,{},Pause();"), "0,{},Pause();");
  peer_.setUnansweredNext(kExterAxis, kWriteNow, 1);
  EXPECT_EQ(call("Pause()", "-1,{},Pause();"), "-1,{},Pause();");
}

TEST_F(RobotControl, DragTeachingOnAndOff) {
  std::vector<PeerRequest> sent;
  EXPECT_EQ(call("StartDrag()", "0,{},StartDrag();", sent), "0,{},StartDrag();");
  ASSERT_EQ(idsOf(sent), (Ids{kControlType, kStopClear, kDrag}));
  EXPECT_EQ(sent[0].params, Bytes{2});
  EXPECT_EQ(sent[2].params, Bytes{0});
  EXPECT_EQ(word(robot_map::kControlType), 2);
  EXPECT_EQ(word(robot_map::kDragStartRequest), 1);
  EXPECT_EQ(word(robot_map::kDragMode), 1);

  EXPECT_EQ(call("StopDrag()", "0,{},StopDrag();", sent), "0,{},StopDrag();");
  ASSERT_EQ(idsOf(sent), (Ids{kDrag, kStopClear, kStartQueue, kControlType}));
  EXPECT_EQ(sent[0].params, Bytes{1});
  EXPECT_EQ(sent[3].params, Bytes{1});
  EXPECT_EQ(word(robot_map::kDragMode), 2);
  EXPECT_EQ(word(robot_map::kDragStopRequest), 1);
  EXPECT_EQ(word(robot_map::kControlType), 1);
}

TEST_F(RobotControl, SetcaliHomeLeavesDragTeachingFirst) {
  setWord(robot_map::kDragMode, 1);
  std::vector<PeerRequest> sent;
  const auto start = Clock::now();
  EXPECT_EQ(call("SetcaliHome()", "0,{},SetcaliHome();", sent), "0,{},SetcaliHome();");
  EXPECT_GE(Clock::now() - start, 1s);
  ASSERT_EQ(idsOf(sent), (Ids{kDrag, kHome}));
  EXPECT_EQ(sent[0].params, Bytes{1});
  EXPECT_EQ(sent[1].ctrl, kWriteNow);
  EXPECT_EQ(sent[1].params, Bytes{0x1F});
  EXPECT_EQ(word(robot_map::kDragMode), 2);

  EXPECT_EQ(call("SetcaliHome()", "0,{},SetcaliHome();", sent), "0,{},SetcaliHome();");
  EXPECT_EQ(idsOf(sent), Ids{kHome});
}

// A lost reply of the packet that carries the command's effect is a failure;
// the command's other packets still go.
TEST_F(RobotControl, LostEffectPacketsAnswerFailure) {
  struct Row {
    std::string command;
    std::uint16_t lost;
    Ids sent;
    std::function<void()> before;
  };
  const std::vector<Row> rows = {
      {"AutoManual_Auto()", kControlType, {kControlType}, [] {}},
      {"AutoManual_Manual()", kControlType, {kControlType}, [] {}},
      {"Begin()", kStartQueue, {kControlType, kStartQueue}, [] {}},
      {"End()", kStopQueue, {kControlType, kStopQueue}, [] {}},
      {"Pause()", kStopQueue, {kControlType, kStopQueue, kExterAxis}, [] {}},
      {"ResetRobot()", kStopClear, {kStopClear, kStartQueue}, [] { setWord(robot_map::kScriptStatus, 0); }},
      {"ResetRobot()", kStartQueue, {kStopClear, kStartQueue}, [] { setWord(robot_map::kScriptStatus, 0); }},
      {"StartDrag()", kDrag, {kControlType, kStopClear, kDrag}, [] { setWord(robot_map::kScriptStatus, 0); }},
      {"StopDrag()", kDrag, {kDrag, kStopClear, kStartQueue, kControlType}, [] { setWord(robot_map::kDragMode, 1); }},
      {"SetcaliHome()", kHome, {kHome}, [] { setWord(robot_map::kDragMode, 2); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command + " losing " + std::to_string(row.lost));
    row.before();
    peer_.setUnansweredNext(row.lost, kWriteNow, 1);
    const std::string expected = "-1,{}," + row.command + ";";
    std::vector<PeerRequest> sent;
    EXPECT_EQ(call(row.command, expected, sent), expected);
    EXPECT_EQ(idsOf(sent), row.sent) << describe(sent);
  }
}

TEST_F(RobotControl, DisableRobotWaitsForTheDisabledStatus) {
  peer_.setReadSequence(kEnableStatus, {{0}, {0}, {1}});
  std::vector<PeerRequest> sent;
  const auto start = Clock::now();
  EXPECT_EQ(call("DisableRobot()", "0,{},DisableRobot();", sent, 8s), "0,{},DisableRobot();");
  EXPECT_GE(Clock::now() - start, 1900ms);
  EXPECT_EQ(idsOf(sent), (Ids{kEnableStatus, kEnableStatus, kEnableStatus, kStopClear}));
  EXPECT_EQ(word(robot_map::kDisableRequest), 1);
  EXPECT_EQ(word(robot_map::kScriptStatus), 0);
  EXPECT_EQ(word(robot_map::kControlType), 2);

  // A read without a reply is not yet disabled.
  peer_.setUnansweredNext(kEnableStatus, kRead, 2);
  EXPECT_EQ(call("DisableRobot()", "0,{},DisableRobot();", sent, 8s), "0,{},DisableRobot();");
  EXPECT_EQ(idsOf(sent), (Ids{kEnableStatus, kEnableStatus, kEnableStatus, kStopClear}));
}

// The one slow case: eleven reads a second apart.
TEST_F(RobotControl, DisableRobotGivesUpWhenTheRobotStaysOn) {
  peer_.setReadReply(kEnableStatus, {0});
  std::vector<PeerRequest> sent;
  const auto start = Clock::now();
  EXPECT_EQ(call("DisableRobot()", "-1,{},DisableRobot();", sent, 20s), "-1,{},DisableRobot();");
  EXPECT_GE(Clock::now() - start, 9500ms);
  EXPECT_EQ(sent.size(), 11u) << describe(sent);
  EXPECT_EQ(find(sent, kStopClear), nullptr);
}

TEST_F(RobotControl, StatusReads) {
  peer_.setReadReply(kJointAngle, floats({1.5F, -2.25F, 3, 4, 0, 0}));
  EXPECT_EQ(call("GetAngle()", "0,{1.500000,-2.250000,3.000000,4.000000,0.000000,0.000000},GetAngle();"),
            "0,{1.500000,-2.250000,3.000000,4.000000,0.000000,0.000000},GetAngle();");
  peer_.setUnansweredNext(kJointAngle, kRead, 1);
  EXPECT_EQ(call("GetAngle()", "-1,{},GetAngle();"), "-1,{},GetAngle();");

  setRobotMode(9);
  EXPECT_EQ(call("RobotMode()", "0,{9},RobotMode();"), "0,{9},RobotMode();");
  setRobotMode(5);
  EXPECT_EQ(call("RobotMode(x)", "0,{5},RobotMode(x);"), "0,{5},RobotMode(x);");

  const std::string errors = "[\n  [22],\n  []\n]";
  peer_.setRawAnswers({errors});
  const std::string expected = "0,{" + errors + "},GetErrorID();";
  EXPECT_EQ(call("GetErrorID()", expected), expected);
  peer_.setUnansweredNext(kRawText, kRead, 1);
  EXPECT_EQ(call("GetErrorID()", "-1,{},GetErrorID();"), "-1,{},GetErrorID();");

  EXPECT_EQ(call("GetSerialNum()", "0,{ZL0001},GetSerialNum();"), "0,{ZL0001},GetSerialNum();");
  std::filesystem::remove(projectPath("settings/productInfo/hardwareInfo.json"));
  EXPECT_EQ(call("GetSerialNum()", "-1,{},GetSerialNum();"), "-1,{},GetSerialNum();");
}

// The hand text's first eight bytes, then the doubles.
Bytes poseReply(const std::string& hand, std::initializer_list<double> values) {
  Bytes bytes(hand.begin(), hand.begin() + 8);
  for (double v : values) bytes = concat(bytes, bytesOf(v));
  return bytes;
}

Bytes doubles(std::initializer_list<double> values) {
  Bytes bytes;
  for (double v : values) bytes = concat(bytes, bytesOf(v));
  return bytes;
}

TEST_F(RobotControl, GetPoseSendsTheFramesOfTheIndices) {
  setWord(robot_map::kCurrentUser, 2);
  setWord(robot_map::kCurrentTool, 1);
  peer_.setReadReply(kPose, poseReply(std::string("Left\0\0\0\0", 8), {10, 20, 30, 40, 0, 0}));
  std::vector<PeerRequest> sent;
  const std::string expected = "0,{10.000000,20.000000,30.000000,40.000000,0.000000,0.000000,Left},GetPose();";
  EXPECT_EQ(call("GetPose()", expected, sent), expected);
  ASSERT_EQ(idsOf(sent), Ids{kPose});
  ASSERT_EQ(sent[0].params.size(), 96u);
  const Bytes user(sent[0].params.begin(), sent[0].params.begin() + 32);
  const Bytes tool(sent[0].params.begin() + 48, sent[0].params.begin() + 80);
  EXPECT_EQ(user, doubles({201, 202, 203, 204}));
  EXPECT_EQ(tool, doubles({105, 106, 107, 108}));

  // An index outside the tables gives a zero frame; a hand text without its
  // end prints its eight bytes.
  peer_.setReadReply(kPose, poseReply("ABCDEFGH", {1, 2, 3, 4, 5, 6}));
  const std::string full = "0,{1.000000,2.000000,3.000000,4.000000,5.000000,6.000000,ABCDEFGH},GetPose(12,0);";
  EXPECT_EQ(call("GetPose(12,0)", full, sent), full);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Bytes(sent[0].params.begin(), sent[0].params.begin() + 48), Bytes(48, 0));
  const std::string negative = "0,{1.000000,2.000000,3.000000,4.000000,5.000000,6.000000,ABCDEFGH},GetPose(-3,0);";
  EXPECT_EQ(call("GetPose(-3,0)", negative, sent), negative);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Bytes(sent[0].params.begin(), sent[0].params.begin() + 48), Bytes(48, 0));

  peer_.setUnansweredNext(kPose, kRead, 1);
  EXPECT_EQ(call("GetPose()", "-1,{},GetPose();"), "-1,{},GetPose();");
}

Bytes kinematicsReply(std::initializer_list<float> values, std::int32_t result) {
  Bytes bytes(60, 0);
  const Bytes head = floats(values);
  std::copy(head.begin(), head.end(), bytes.begin());
  std::memcpy(bytes.data() + 52, &result, sizeof result);
  return bytes;
}

TEST_F(RobotControl, ForwardAndInverseKinematics) {
  const std::string six = "{1.000000,2.000000,3.000000,4.000000,5.000000,6.000000},";
  const std::string zeros = "{0.000000,0.000000,0.000000,0.000000,0.000000,0.000000},";
  const std::string forward = "PositiveSolution(10,20,-30,40,0,0,1,2)";
  std::vector<PeerRequest> sent;
  peer_.setReadReply(kForward, kinematicsReply({1, 2, 3, 4, 5, 6}, 0));
  EXPECT_EQ(call(forward, "0," + six + forward + ";", sent), "0," + six + forward + ";");
  ASSERT_EQ(idsOf(sent), Ids{kForward});
  ASSERT_EQ(sent[0].params.size(), 60u);
  EXPECT_EQ(Bytes(sent[0].params.begin(), sent[0].params.begin() + 48),
            concat(concat(floats({10, 20, -30, 40}), floats({101, 102, 103, 104})), floats({205, 206, 207, 208})));

  peer_.setReadReply(kForward, kinematicsReply({1, 2, 3, 4, 5, 6}, 1));
  EXPECT_EQ(call(forward, "-1," + six + forward + ";"), "-1," + six + forward + ";");
  peer_.setReadReply(kForward, Bytes(40, 0));
  EXPECT_EQ(call(forward, "-1," + zeros + forward + ";"), "-1," + zeros + forward + ";");
  peer_.setUnansweredNext(kForward, kRead, 1);
  EXPECT_EQ(call(forward, "-1," + zeros + forward + ";"), "-1," + zeros + forward + ";");

  struct Row {
    std::string command;
    std::uint8_t handType;
    std::uint8_t useDefault;
  };
  peer_.setReadReply(kInverse, kinematicsReply({1, 2, 3, 4, 5, 6}, 0));
  for (const Row& row : {Row{"InverseSolution(300,0,-50,0,0,0)", 0, 1}, Row{"InverseSolution(300,0,-50,0,0,0,1)", 1, 0},
                         Row{"InverseSolution(300,0,-50,0,0,0,-1)", 0, 0},
                         Row{"InverseSolution(300,0,-50,0,7,8,0,0)", 0, 1}}) {
    SCOPED_TRACE(row.command);
    EXPECT_EQ(call(row.command, "0," + six + row.command + ";", sent), "0," + six + row.command + ";");
    ASSERT_EQ(idsOf(sent), Ids{kInverse});
    EXPECT_EQ(Bytes(sent[0].params.begin(), sent[0].params.begin() + 16), floats({300, 0, -50, 0}));
    EXPECT_EQ(sent[0].params[48], row.handType);
    EXPECT_EQ(sent[0].params[56], row.useDefault);
  }
  const std::string inverse = "InverseSolution(300,0,-50,0,0,0)";
  peer_.setReadReply(kInverse, kinematicsReply({1, 2, 3, 4, 5, 6}, 17));
  EXPECT_EQ(call(inverse, "-1," + six + inverse + ";"), "-1," + six + inverse + ";");
  peer_.setUnansweredNext(kInverse, kRead, 1);
  EXPECT_EQ(call(inverse, "-1," + zeros + inverse + ";"), "-1," + zeros + inverse + ";");
}

}  // namespace
}  // namespace zelor::test
