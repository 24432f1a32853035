// Motion parameter functions in Debian's lua5.3 against the fake request
// service, and the remembered settings in-process.
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <lua.hpp>

#include "common/ipc/payload_request.h"
#include "install_paths.h"
#include "plugin_lua.h"
#include "support/fake_request_service.h"
#include "support/lua_run.h"

extern "C" int luaopen_libquillonPlugin(lua_State* L);

namespace zelor::test {
namespace {

std::vector<std::uint8_t> floats(std::initializer_list<float> values) {
  std::vector<std::uint8_t> out;
  for (float v : values) {
    std::uint8_t b[4];
    std::memcpy(b, &v, 4);
    out.insert(out.end(), b, b + 4);
  }
  return out;
}

// The ratios the fake reports for the id-83 read.
const std::initializer_list<float> kRatios = {10, 20, 30, 40, 50, 60, 70, 80, 90};

// Calls each line's function under pcall; prints "label ok|err <text> <results>".
constexpr const char* kTry =
    "local function try(label, f, ...)\n"
    "  local r = table.pack(pcall(f, ...))\n"
    "  io.write('#', label, ' ', r[1] and 'ok' or 'err', ' ', tostring(r[2]), ' ', r.n - 1, '\\n')\n"
    "end\n";

std::string line(const std::string& out, const std::string& label) {
  const std::size_t at = out.find("#" + label + " ");
  if (at == std::string::npos) return "missing";
  const std::size_t end = out.find('\n', at);
  return out.substr(at + label.size() + 2, end - at - label.size() - 2);
}

void expectCleanEnd(const ProcessResult& r) {
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
}

TEST(PluginParameters, EachRatioFunctionChangesOnlyItsField) {
  FakeRequestService fake;
  fake.setLeftSpace(50);
  fake.setReply(83, floats(kRatios));
  struct Case {
    const char* call;
    int field;
    float value;
  };
  const Case cases[] = {{"Speed(50.9)", 0, 50}, {"Accel(35.5)", 1, 35.5f}, {"Jerk(1)", 2, 1},
                        {"SpeedS(100)", 3, 100}, {"SpeedR(42)", 4, 42},   {"AccelS(43)", 5, 43},
                        {"AccelR(44)", 6, 44},   {"JerkS(45)", 7, 45},    {"JerkR(46)", 8, 46},
                        {"Speed(100.9)", 0, 100}};
  std::string script = kTry;
  for (const Case& c : cases) script += "io.write('#', '" + std::string(c.call) + "', ' ', " + c.call + ", '\\n')\n";
  const ProcessResult r = runSrc0(script);
  expectCleanEnd(r);

  std::vector<std::vector<std::uint8_t>> writes;
  for (const SeenFrame& f : fake.frames())
    if (f.id() == 83 && f.control() == 0x03) writes.push_back(f.params());
  ASSERT_EQ(writes.size(), std::size(cases)) << r.out;
  std::uint64_t index = 0;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    std::vector<float> expected(kRatios);
    expected[cases[i].field] = cases[i].value;
    std::vector<float> sent(9);
    std::memcpy(sent.data(), writes[i].data(), 36);
    EXPECT_EQ(sent, expected) << cases[i].call;
    const std::uint64_t returned = std::stoull(line(r.out, cases[i].call));
    EXPECT_GT(returned, index) << cases[i].call << ": the fake's queue index";
    index = returned;
  }
}

// Arch entries 0..3 configured, 4 not.
void writeArchTable() {
  std::string entries;
  for (int i = 0; i < 5; ++i)
    entries += std::string(i ? "," : "") + "{\"enable\": " + (i < 4 ? "true" : "false") +
               ", \"params\": {\"startHeight\": 1, \"endHeight\": 2, \"zLimit\": 3}}";
  writeFile(std::string(paths::kProjectDir) + "/settings/playback/arch.json", "[" + entries + "]");
}

TEST(PluginParameters, ArgumentAndRangeChecks) {
  writeArchTable();
  FakeRequestService fake;
  fake.setLeftSpace(50);
  fake.setReply(83, floats(kRatios));
  fake.setReply(82, floats({5, 6, 7}));
  struct Case {
    const char* call;
    const char* result;  // what pcall gave: "ok <first result> <count>" or the error text
    int code;            // alarm written, 0 for none
  };
  const std::string speedRange = "\"Ratio parameter of Speed instruction out of range [1, 100]\"\n";
  const std::string accelRange = "\"Ratio parameter of Accel instruction out of range [1, 100]\"\n";
  const Case cases[] = {
      {"Speed, 0.5", nullptr, 33793},  {"Speed, 0/0", nullptr, 33793},  {"Speed, 1e300", nullptr, 33793},
      {"Accel, 100.5", nullptr, 34049}, {"Accel, 0.99", nullptr, 34049}, {"Accel, 0/0", nullptr, 34049},
      {"Speed, 'x'", nullptr, 33792},  {"SpeedFactor, 256", nullptr, 32769}, {"SpeedFactor, 1.5", nullptr, 32768},
      {"CP, -1", nullptr, 33025},      {"CP, 101", nullptr, 33025},     {"CP, 5.5", nullptr, 33024},
      {"Arch, 10", nullptr, 33281},    {"Arch, 4", nullptr, 33282},     {"LimZ, 150", nullptr, 33537},
      {"LimZ, 0/0", nullptr, 33537},   {"AccelE, 'a'", nullptr, 34048}, {"SpeedE, 1/0", nullptr, 33792},
      {"ECP, 2", "ok nil 0", 0},       {"ECPSet, {coordinate = {1, 2, 3}}", "ok nil 0", 0},
      {"ECPSet, {coordinate = {1, 2, 0/0, 4}}", "ok nil 0", 0},
      {"LoadSet, 1", "ok nil 0", 0},   {"LoadSet, 1, 1/0", "ok nil 0", 0},
      {"SetExicitCmd, 1, 2, 3, 4, 5", "ok nil 0", 0},
  };
  std::string script = kTry;
  for (std::size_t i = 0; i < std::size(cases); ++i)
    script += "try('" + std::to_string(i) + "', " + cases[i].call + ")\n";
  const ProcessResult r = runSrc0(script);
  expectCleanEnd(r);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string got = line(r.out, std::to_string(i));
    if (cases[i].result != nullptr) {
      EXPECT_EQ(got, cases[i].result) << cases[i].call;
    } else {
      EXPECT_EQ(got.rfind("err Error alarm :", 0), 0u) << cases[i].call << ": " << got;
    }
  }
  EXPECT_NE(r.out.find("err Error alarm :" + speedRange), std::string::npos);
  EXPECT_NE(r.out.find("err Error alarm :" + accelRange), std::string::npos);
  EXPECT_NE(r.out.find("LoadSwitch input params numbers < 2.\n"), std::string::npos);
  // Nothing was sent but the reads and the option parser's transition (sent
  // before the range checks); no write of 83, 87, 82, 52, 24, 25, 208, 103, 225.
  for (const SeenFrame& f : fake.frames())
    if (f.id() != 51) {
      EXPECT_EQ(f.control() & 0x01, 0) << "a write of id " << f.id() << " after a refused check";
    }
}

TEST(PluginParameters, AlarmCodesOfRefusedArguments) {
  FakeRequestService fake;
  fake.setLeftSpace(50);
  struct Case {
    const char* call;
    std::uint8_t code[4];
  };
  const Case cases[] = {{"Speed(0.5)", {0x01, 0x84, 0, 0}}, {"SpeedFactor(1.5)", {0x00, 0x80, 0, 0}},
                        {"Arch(10)", {0x01, 0x82, 0, 0}}};
  for (const Case& c : cases) {
    const ProcessResult r = runSrc0(std::string("pcall(function() ") + c.call + " end)\n");
    expectCleanEnd(r);
    EXPECT_EQ(fake.memory()->alarmFlag, 1) << c.call;
    EXPECT_EQ(std::memcmp(fake.memory()->alarmCode, c.code, 4), 0) << c.call;
  }
}

TEST(PluginParameters, OtherSettingsAreQueuedWithTheirValues) {
  FakeRequestService fake;
  fake.setLeftSpace(50);
  fake.setReply(82, floats({5, 6, 7}));
  struct Case {
    const char* call;
    std::uint16_t id;
    std::vector<std::uint8_t> params;
  };
  const float half = 0.5f;
  std::vector<std::uint8_t> speedE = {9, 0, 0, 0};
  const auto* h = reinterpret_cast<const std::uint8_t*>(&half);
  speedE.insert(speedE.end(), h, h + 4);
  speedE.insert(speedE.end(), 4, 0);
  const Case cases[] = {
      {"SpeedFactor(257)", 52, {1}},
      {"CP(0)", 51, {0}},
      {"CP(100)", 51, {100}},
      {"LimZ(50)", 82, floats({5, 50, 7})},
      {"ECP(256)", 24, {0}},
      {"ECPSet({coordinate = {1, 2, 3, 4}})", 25, floats({1, 2, 3, 4})},
      {"SetExicitCmd(1, 2, 3, 4, 5, 6)", 103, floats({1, 2, 3, 4, 5, 6})},
      {"SetExicitCmdZ(1, 2, 3)", 104, floats({1, 2, 3})},
      {"SetExcitMode(258)", 206, {2}},
      {"LoadSwitch(1)", 207, {1}},
      {"SpeedE(50)", 225, speedE},
  };
  for (const Case& c : cases) {
    const std::size_t before = fake.frames().size();
    const ProcessResult r = runSrc0(std::string(c.call) + "\n");
    expectCleanEnd(r);
    const std::vector<SeenFrame> frames = fake.frames();
    const SeenFrame* write = nullptr;
    for (std::size_t i = before; i < frames.size(); ++i)
      if (frames[i].id() == c.id && (frames[i].control() & 0x01) != 0) write = &frames[i];
    ASSERT_NE(write, nullptr) << c.call;
    EXPECT_EQ(write->params(), c.params) << c.call;
    EXPECT_EQ(write->control(), c.id == 225 ? 0x01 : 0x03) << c.call;
  }
  const std::vector<std::uint8_t> loadSet = {0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0x40};
  runSrc0("LoadSet(1.5, 2)\n");
  EXPECT_EQ(fake.frames().back().params(), loadSet);
}

TEST(PluginParameters, ASlideAxisThatIsNotReadyRaisesItsAlarm) {
  FakeRequestService fake;
  std::vector<std::uint8_t> refused = {7, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  fake.setReply(225, refused);
  const ProcessResult r = runSrc0(std::string(kTry) + "try('e', SpeedE, 50)\n");
  expectCleanEnd(r);
  EXPECT_EQ(line(r.out, "e"), "err Error alarm :\"Exter axis status is not ready\"");
}

TEST(PluginParameters, SyncWaitsForTheQueuedIndex) {
  FakeRequestService fake;
  fake.setLeftSpace(50);
  fake.followIssuedIndex(800ms);
  for (const char* call : {"CP(50, 'SYNC=1')", "LoadSwitch(1, {SYNC = 1})"}) {
    const auto start = Clock::now();
    const ProcessResult r = runSrc0(std::string("io.write('index ', ") + call + ", '\\n')\n");
    expectCleanEnd(r);
    EXPECT_GE(Clock::now() - start, 800ms) << call;
    EXPECT_NE(r.out.find("index "), std::string::npos) << r.out;
    EXPECT_GE(fake.count(246), 1u) << call;
  }
}

// In-process: what later moves start from.
TEST(PluginParameters, SpeedAccelAndTheirCartesianTwinsAreRemembered) {
  FakeRequestService fake;
  fake.setLeftSpace(50);
  fake.setReply(83, floats(kRatios));
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  luaopen_libquillonPlugin(L);
  lua_setglobal(L, "plugin");
  pluginLua& plugin = pluginLua::instance();
  plugin.m_params.ptpcommon = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  ASSERT_EQ(luaL_dostring(L, "plugin.Speed(31) plugin.Accel(32) plugin.SpeedS(33) plugin.AccelS(34)\n"
                             "plugin.Jerk(35) plugin.SpeedR(36) plugin.AccelR(37) plugin.JerkS(38) plugin.JerkR(39)\n"
                             "pcall(plugin.Speed, 0)\n"),
            LUA_OK)
      << lua_tostring(L, -1);
  lua_close(L);
  const ParamTempValue copy = plugin.m_params;
  const float* r = &copy.ptpcommon.velocityRatio;
  EXPECT_EQ(std::vector<float>(r, r + 9), (std::vector<float>{31, 32, 1, 33, 1, 34, 1, 1, 1}));
}

TEST(PluginParameters, PayloadAndServoRequestsWaitForTheQueueAndLeaveNoAttachment) {
  FakeRequestService fake;
  fake.setAllDone(false);
  const key_t key = ftok(common::ipc::kPayloadKeyPath, common::ipc::kPayloadKeyId);
  const int shmid = shmget(key, common::ipc::kPayloadMemoryBytes, IPC_CREAT | 0666);
  ASSERT_NE(shmid, -1);
  auto* memory = static_cast<std::uint8_t*>(shmat(shmid, nullptr, 0));
  ASSERT_NE(memory, reinterpret_cast<std::uint8_t*>(-1));
  auto request = [&] { return *reinterpret_cast<common::ipc::PayloadRequest*>(memory); };
  auto attachments = [&] {
    shmid_ds info{};
    shmctl(shmid, IPC_STAT, &info);
    return info.shm_nattch;
  };

  std::thread done([&] {
    waitUntil([&] { return fake.count(27) >= 3; }, 10s);
    EXPECT_EQ(memory[4], 0) << "the flag waits for the queue";
    fake.setAllDone(true);
  });
  ProcessResult r = runSrc0("SetPayload(500)\n");
  done.join();
  expectCleanEnd(r);
  EXPECT_EQ(memory[4], 1);
  EXPECT_FLOAT_EQ(request().payload, 0.5f);
  EXPECT_EQ(request().inertiaX, 0.0f);
  EXPECT_EQ(request().inertiaY, 0.0f);

  memory[4] = 0;
  r = runSrc0("SetPayload(500, {1, 'a'})\n");
  expectCleanEnd(r);
  EXPECT_FLOAT_EQ(request().inertiaX, 1.0f);
  EXPECT_EQ(request().inertiaY, 0.0f);

  memory[4] = 0;
  r = runSrc0("SetServoParam(3)\n");
  expectCleanEnd(r);
  EXPECT_EQ(request().servoParamIndex, 3);
  EXPECT_EQ(memory[4], 1);

  // A refused index leaves a pending request byte for byte.
  common::ipc::PayloadRequest pending{};
  pending.servoParamIndex = 2;
  pending.payload = 7.5f;
  common::ipc::publishPayloadRequest(memory, pending);
  std::uint8_t before[28];
  std::memcpy(before, memory, sizeof before);
  for (const char* refused : {"SetServoParam(6)", "SetServoParam(0/0)", "SetServoParam()", "SetPayload()"}) {
    r = runSrc0(std::string(refused) + "\n");
    expectCleanEnd(r);
    EXPECT_EQ(std::memcmp(before, memory, sizeof before), 0) << refused;
  }
  EXPECT_EQ(attachments(), 1u) << "the script processes detached";
  shmdt(memory);
  shmctl(shmid, IPC_RMID, nullptr);
}

}  // namespace
}  // namespace zelor::test
