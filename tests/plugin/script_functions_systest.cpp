// The queue, runtime and diagnostic script functions in Debian's lua5.3
// against the fake request service.
#include <sys/ipc.h>
#include <sys/mount.h>
#include <sys/shm.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "plugin_lua.h"
#include "support/fake_request_service.h"
#include "support/lua_run.h"

namespace zelor::test {
namespace {

std::vector<std::uint16_t> idsAfterStartup(const FakeRequestService& fake) {
  std::vector<std::uint16_t> out;
  const std::vector<SeenFrame> frames = fake.framesWithoutIndexQueries();
  // The start-up sends 247, 51, 83, 87, 250, 251.
  for (std::size_t i = 6; i < frames.size(); ++i) out.push_back(frames[i].id());
  return out;
}

const SeenFrame* lastFrame(const FakeRequestService& fake, std::uint16_t id, std::vector<SeenFrame>& keep) {
  keep = fake.frames();
  for (auto it = keep.rbegin(); it != keep.rend(); ++it)
    if (it->id() == id) return &*it;
  return nullptr;
}

void expectCleanEnd(const ProcessResult& r) {
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
}

TEST(PluginScriptFunctions, QueueFunctionsSendTheirCommandsAndReportTheirLines) {
  FakeRequestService fake;
  fake.setLeftSpace(10);
  fake.setCurrentIndex(42);
  UdpListener runCursor(kRunCursorPort);
  ASSERT_TRUE(runCursor.bound());
  const ProcessResult r = runSrc0(
      "init(0)\n"                                                   // line 3
      "io.write('index ', GetQueuedCmdCurrentIndex(), '\\n')\n"     // 4
      "SetQueuedCmdStartExec()\n"                                   // 5
      "SetQueuedCmdStopExec()\n"                                    // 6
      "SetQueuedCmdForceStopExec()\n"                               // 7
      "SetQueuedCmdClear()\n"                                       // 8
      "SetQueuedCmdStopClear()\n");                                 // 9
  expectCleanEnd(r);
  EXPECT_NE(r.out.find("index 42\n"), std::string::npos) << r.out;
  EXPECT_EQ(idsAfterStartup(fake), (std::vector<std::uint16_t>{240, 241, 242, 245, 248}));
  std::vector<SeenFrame> keep;
  const SeenFrame* force = lastFrame(fake, 242, keep);
  ASSERT_NE(force, nullptr);
  EXPECT_EQ(force->control(), 0x01);
  EXPECT_EQ(force->params(), std::vector<std::uint8_t>{1});

  // Each command sent now reports its line as the run line at once.
  std::vector<std::string> lines = runCursor.drain();
  EXPECT_EQ(lines, (std::vector<std::string>{"@/tmp/src0.lua:5", "@/tmp/src0.lua:6", "@/tmp/src0.lua:7",
                                             "@/tmp/src0.lua:8", "@/tmp/src0.lua:9"}));
}

TEST(PluginScriptFunctions, PushAndPopKeepTextsInOrder) {
  FakeRequestService fake;
  const ProcessResult r = runSrc0(
      "local function show(p) io.write(p.size, ' [', p.buf, ']\\n') end\n"
      "Push('a'); show(Pop())\n"
      "Push(12); Push('b c'); show(Pop()); show(Pop())\n"
      "show(Pop())\n");
  expectCleanEnd(r);
  for (const char* line : {"\n1 [a]\n", "\n2 [12]\n", "\n3 [b c]\n", "\n0 []\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
  EXPECT_LT(r.out.find("[12]"), r.out.find("[b c]"));
  EXPECT_NE(r.out.find("[plugin_pushQueue], insert data: 12 to queue\n"), std::string::npos);
  EXPECT_EQ(r.out.find("GET data:  from"), std::string::npos) << "an empty take prints nothing";
  EXPECT_TRUE(fake.frames().empty()) << "the text queue is the script's own";
}

TEST(PluginScriptFunctions, PushOfAnythingButTextRaisesTheUsageAlarm) {
  FakeRequestService fake;
  semlib_shm* shm = fake.memory();
  for (const char* argument : {"{}", "", "true", "nil"}) {
    shm->alarmFlag = 0;
    std::memset(shm->alarmCode, 0, 4);
    const ProcessResult r = runSrc0(std::string("local ok, err = pcall(Push") + (*argument ? ", " : "") + argument +
                                    ")\nio.write(tostring(ok), '|', err, '|\\n')\n");
    expectCleanEnd(r);
    EXPECT_NE(r.out.find("false|Error alarm :API usage error|\n"), std::string::npos) << argument << r.out;
    EXPECT_EQ(shm->alarmFlag, 1) << argument;
    const std::uint8_t code[4] = {0x02, 0xB1, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(shm->alarmCode, code, 4), 0) << argument;
  }
}

TEST(PluginScriptFunctions, GetAngleReturnsTheJointsOfTheReply) {
  FakeRequestService fake;
  fake.setJoints(1.5f, -2.25f, 30.0f, 90.125f);
  const ProcessResult r = runSrc0(
      "local a = GetAngle()\n"
      "io.write(string.format('%.3f %.3f %.3f %.3f %d\\n', a.joint[1], a.joint[2], a.joint[3], a.joint[4], "
      "#a.joint))\n");
  expectCleanEnd(r);
  EXPECT_NE(r.out.find("1.500 -2.250 30.000 90.125 4\n"), std::string::npos) << r.out;
  EXPECT_EQ(fake.count(26), 1u);
}

TEST(PluginScriptFunctions, SyncReturnsOnceAllIsDoneAndReportsBothCursors) {
  FakeRequestService fake;
  fake.setLeftSpace(10);
  fake.setAllDone(false);
  fake.setCurrentIndex(5);  // the key of the command sent on line 5
  UdpListener callCursor(kCallCursorPort);
  UdpListener runCursor(kRunCursorPort);
  std::thread finish([&] {
    waitUntil([&] { return fake.count(FakeRequestService::kAllDone) >= 4; }, 15s);
    fake.setAllDone(true);
  });
  const ProcessResult r = runSrc0(
      "init(0)\n"                   // 3
      "Sleep(10)\n"                 // 4
      "SetQueuedCmdStartExec()\n"   // 5
      "Sync()\n"                    // 6
      "io.write('synced\\n')\n");   // 7
  finish.join();
  expectCleanEnd(r);
  EXPECT_NE(r.out.find("synced\n"), std::string::npos);
  EXPECT_NE(r.out.find("[plugin_sync], all cmd done.\n"), std::string::npos) << r.out;
  EXPECT_GE(fake.count(FakeRequestService::kAllDone), 5u) << "polled until the kernel was done";

  const std::vector<std::string> calls = callCursor.drain();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), "@/tmp/src0.lua:6");
  const std::vector<std::string> runs = runCursor.drain();
  ASSERT_FALSE(runs.empty());
  EXPECT_EQ(runs.back(), "@/tmp/src0.lua:5");
}

TEST(PluginScriptFunctions, PauseStopsTheQueueMarksTheScriptPausedAndTellsTheEventLog) {
  FakeRequestService fake;
  fake.setLeftSpace(10);
  fake.setAllDone(true);
  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kScriptStatus, 1);
  UdpListener events(kEventLogPort);
  const auto start = Clock::now();
  const ProcessResult r = runSrc0("init(0)\nPause()\nio.write('resumed\\n')\n");
  const auto took = Clock::now() - start;
  expectCleanEnd(r);
  EXPECT_GE(took, 2s);
  EXPECT_EQ(idsAfterStartup(fake), (std::vector<std::uint16_t>{27, 241, 225}));
  std::vector<SeenFrame> keep;
  const SeenFrame* stop = lastFrame(fake, 241, keep);
  ASSERT_NE(stop, nullptr);
  EXPECT_EQ(stop->control(), 0x01);
  const SeenFrame* axis = lastFrame(fake, 225, keep);
  ASSERT_NE(axis, nullptr);
  EXPECT_EQ(axis->control(), 0x01);
  EXPECT_EQ(axis->params(), (std::vector<std::uint8_t>{0x13, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(map.loadWord(robot_map::kScriptStatus), 2);
  EXPECT_EQ(events.drain(), std::vector<std::string>{"command:pause"});
}

TEST(PluginScriptFunctions, EncoderTestReadsTheSharedDouble) {
  const key_t key = ftok("/zelor", 996);
  ASSERT_NE(key, -1);
  const int shmid = shmget(key, 4096, IPC_CREAT | 0666);
  ASSERT_NE(shmid, -1);
  void* memory = shmat(shmid, nullptr, 0);
  ASSERT_NE(memory, reinterpret_cast<void*>(-1));
  const double value = 12.5;
  std::memcpy(memory, &value, sizeof value);
  const ProcessResult r = runSrc0("io.write(string.format('enc %.3f\\n', enc_test()))\n");
  shmdt(memory);
  shmctl(shmid, IPC_RMID, nullptr);
  expectCleanEnd(r);
  EXPECT_NE(r.out.find("enc 12.500\n"), std::string::npos) << r.out;
}

TEST(PluginScriptFunctions, UdiskTestCountsTheSdEntriesOfMedia) {
  ASSERT_EQ(mount("tmpfs", "/media", "tmpfs", 0, "mode=0755"), 0) << std::strerror(errno);
  mkdir("/media/sda1", 0755);
  writeFile("/media/sdb", "");
  mkdir("/media/usb0", 0755);
  const ProcessResult counted = runSrc0("io.write('disks ', udisk_test(), '\\n')\n");
  umount("/media");
  expectCleanEnd(counted);
  EXPECT_NE(counted.out.find("disks 2\n"), std::string::npos) << counted.out;
}

TEST(PluginScriptFunctions, SleepAndTheTimeFunctions) {
  FakeRequestService fake;
  fake.setAllDone(true);
  const ProcessResult r = runSrc0(
      "ResetElapsedTime(); Sleep(200)\n"
      "io.write('elapsed ', ElapsedTime(), '\\n')\n"
      "local t0 = Systime(); Sleep(100.0); Sleep(-5); Sleep('x'); local t1 = Systime()\n"
      "io.write('float sleep ', t1 - t0, '\\n')\n"
      "io.write('systime ', math.type(t0), ' ', t0 > 1600000000000 and 'plausible' or 'wrong', '\\n')\n");
  expectCleanEnd(r);
  const std::size_t at = r.out.find("elapsed ");
  ASSERT_NE(at, std::string::npos) << r.out;
  const long elapsed = std::stol(r.out.substr(at + 8));
  EXPECT_GE(elapsed, 200);
  EXPECT_LT(elapsed, 2000);
  const std::size_t fs = r.out.find("float sleep ");
  ASSERT_NE(fs, std::string::npos);
  EXPECT_LT(std::stol(r.out.substr(fs + 12)), 90) << "a float is no sleep time";
  EXPECT_NE(r.out.find("systime integer plausible\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("[plugin_resetElapsedTime],waiting all cmd done , count: 1...\n"), std::string::npos);
}

}  // namespace
}  // namespace zelor::test
