// The slide-rail link against a stand-in driver that opens the same queue,
// status memory and semaphore: message layout and numbering, the offline
// behaviour, completion, and a second run finding the objects in place.
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/links/exter_axis_rtu.h"
#include "support/fake_slide_driver.h"
#include "support/slide_link_online.h"

namespace {

using namespace ExterAxisRTU;
using zelor::test::FakeSlideDriver;

constexpr std::uint32_t kNoIndex = 0xFFFFFFFFu;

union semun {
  int val;
  semid_ds* buf;
  unsigned short* array;
};

// Builds the link (creating its objects) while the driver is offline.
void buildLink() {
  bool done = false;
  ASSERT_EQ(getCmdAllDone(&done), -1);
  ASSERT_TRUE(done);
}

ExterAxisStatus sampleStatus() {
  ExterAxisStatus status{};
  status.cmdIndex = 9;
  status.statusWord = kStateReady;
  status.alarmCode = 5;
  status.alarmFlags = 6;
  status.position = 1.5f;
  status.reachedIndex = 9;
  status.stopState = 1;
  return status;
}

struct Expected {
  long type;
  std::int32_t cmd;
  ExterAxisValue value;
  std::uint32_t index;
};

void expectMessage(FakeSlideDriver& driver, const Expected& want, const std::string& what) {
  const auto msg = driver.receive();
  ASSERT_TRUE(msg.has_value()) << what << ": no message on the queue";
  EXPECT_EQ(msg->mtype, want.type) << what;
  EXPECT_EQ(msg->body.cmd, want.cmd) << what;
  EXPECT_EQ(msg->body.value.i, want.value.i) << what << ": value bits";
  EXPECT_EQ(msg->body.index, want.index) << what;
}

ExterAxisValue intValue(std::int32_t v) { return ExterAxisValue{.i = v}; }
ExterAxisValue floatValue(float v) {
  ExterAxisValue value;
  value.f = v;
  return value;
}

}  // namespace

TEST(ExterAxisLink, EveryCommandCarriesItsTypeCodeValueAndIndex) {
  buildLink();
  FakeSlideDriver driver;
  ASSERT_TRUE(driver.opened());
  ASSERT_TRUE(zelor::test::setSlideDriverOnline(true));

  // step: 0 = sends the current index, 1 = numbers a new one, 2 = a move
  // (sends counter + 1, reports counter + 2).
  struct Row {
    const char* name;
    std::function<int(std::uint32_t*)> call;
    long type;
    std::int32_t cmd;
    ExterAxisValue value;
    int step;
  };
  const std::vector<Row> rows = {
      {"setEnable(false)", [](std::uint32_t* i) { return setEnable(false, i); }, 2, 1, intValue(0), 1},
      {"setEnable(true)", [](std::uint32_t* i) { return setEnable(true, i); }, 2, 1, intValue(1), 1},
      {"clearAlarm", [](std::uint32_t* i) { return clearAlarm(i); }, 2, 4, intValue(0), 1},
      {"setZeroPos", [](std::uint32_t* i) { return setZeroPos(i); }, 2, 5, intValue(0), 1},
      {"setSpeed", [](std::uint32_t* i) { return setSpeed(12.5f, i); }, 2, 9, floatValue(12.5f), 1},
      {"setAccel", [](std::uint32_t* i) { return setAccel(33.25f, i); }, 2, 10, floatValue(33.25f), 1},
      {"setRate", [](std::uint32_t* i) { return setRate(0.5f, i); }, 2, 21, floatValue(0.5f), 1},
      {"setReload", [](std::uint32_t* i) { return setReload(i); }, 2, 22, intValue(0), 1},
      {"setJog", [](std::uint32_t* i) { return setJog(-1, i); }, 3, 6, intValue(-1), 1},
      {"setInch", [](std::uint32_t* i) { return setInch(2.75f, i); }, 3, 7, floatValue(2.75f), 1},
      {"setPosition", [](std::uint32_t* i) { return setPosition(-150.5f, i); }, 3, 8, floatValue(-150.5f), 2},
      {"setEStop", [](std::uint32_t* i) { return setEStop(1, i); }, 1, 3, intValue(1), 0},
      {"setStop", [](std::uint32_t* i) { return setStop(2, i); }, 1, 18, intValue(2), 0},
      {"setPause", [](std::uint32_t* i) { return setPause(3, i); }, 1, 19, intValue(3), 0},
      {"setContinue", [](std::uint32_t* i) { return setContinue(4, i); }, 1, 20, intValue(4), 0},
      {"setSpeed after the immediates", [](std::uint32_t* i) { return setSpeed(1.0f, i); }, 2, 9,
       floatValue(1.0f), 1},
  };
  std::uint32_t counter = 0;
  for (const Row& row : rows) {
    std::uint32_t index = 0;
    ASSERT_EQ(row.call(&index), 0) << row.name;
    const std::uint32_t sent = row.step == 0 ? counter : counter + 1;
    counter += static_cast<std::uint32_t>(row.step);
    EXPECT_EQ(index, counter) << row.name << ": reported index";
    expectMessage(driver, {row.type, row.cmd, row.value, sent}, row.name);
  }
  EXPECT_EQ(driver.pending(), 0u);
}

TEST(ExterAxisLink, MoveCompletionReadyAndStatusFollowTheDriver) {
  buildLink();
  FakeSlideDriver driver;
  ASSERT_TRUE(driver.opened());
  ASSERT_TRUE(zelor::test::setSlideDriverOnline(true));

  bool done = false;
  ASSERT_EQ(getCmdAllDone(&done), 0);
  EXPECT_TRUE(done) << "nothing numbered yet, nothing to wait for";

  std::uint32_t index = 0;
  ASSERT_EQ(setEnable(true, &index), 0);
  EXPECT_EQ(index, 1u);
  ASSERT_EQ(setEStop(7, &index), 0);
  EXPECT_EQ(index, 1u);
  ASSERT_EQ(setPosition(42.5f, &index), 0);
  EXPECT_EQ(index, 3u);
  expectMessage(driver, {2, 1, intValue(1), 1}, "enable");
  expectMessage(driver, {1, 3, intValue(7), 1}, "emergency stop");
  expectMessage(driver, {3, 8, floatValue(42.5f), 2}, "move");

  ExterAxisStatus status{};
  status.cmdIndex = 2;
  status.reachedIndex = 2;  // the enable is done, the move is not
  driver.writeStatus(status);
  zelor::test::nextCycle();
  ASSERT_EQ(getCmdAllDone(&done), 0);
  EXPECT_FALSE(done);
  status.reachedIndex = 3;  // the move's index + 1: arrived
  driver.writeStatus(status);
  zelor::test::nextCycle();
  ASSERT_EQ(getCmdAllDone(&done), 0);
  EXPECT_TRUE(done);

  // Any numbered command is done once the driver reports its index + 1.
  ASSERT_EQ(setSpeed(10.0f, &index), 0);
  EXPECT_EQ(index, 4u);
  ASSERT_EQ(getCmdAllDone(&done), 0);
  EXPECT_FALSE(done);
  status.reachedIndex = 5;
  driver.writeStatus(status);
  zelor::test::nextCycle();
  ASSERT_EQ(getCmdAllDone(&done), 0);
  EXPECT_TRUE(done);
  // An immediate command numbers nothing and leaves the wait as it was.
  ASSERT_EQ(setPause(1, &index), 0);
  ASSERT_EQ(getCmdAllDone(&done), 0);
  EXPECT_TRUE(done);

  for (const auto& [word, ready] : std::vector<std::pair<std::uint16_t, int>>{
           {0x0400, 1}, {0xFFFF, 1}, {0x03FF, 0}, {0xFBFF, 0}, {0x0000, 0}}) {
    status.statusWord = word;
    driver.writeStatus(status);
    zelor::test::nextCycle();
    int got = -1;
    ASSERT_EQ(getReady(&got), 0);
    EXPECT_EQ(got, ready) << "state word 0x" << std::hex << word;
  }

  status = sampleStatus();
  driver.writeStatus(status);
  zelor::test::nextCycle();
  float position = 0.0f;
  bool stopped = false;
  std::uint16_t alarm[2] = {};
  std::uint32_t driverIndex = 0;
  ASSERT_EQ(getPosition(&position), 0);
  EXPECT_FLOAT_EQ(position, 1.5f);
  ASSERT_EQ(getStopState(&stopped), 0);
  EXPECT_TRUE(stopped);
  ASSERT_EQ(getAlarm(alarm), 0);
  EXPECT_EQ(alarm[0], 5);
  EXPECT_EQ(alarm[1], 6);
  ASSERT_EQ(getCmdIndex(&driverIndex), 0);
  EXPECT_EQ(driverIndex, 9u);
}

TEST(ExterAxisLink, OfflineSendsNothingAndReportsTheOfflineValues) {
  buildLink();
  FakeSlideDriver driver;
  ASSERT_TRUE(driver.opened());
  driver.writeStatus(sampleStatus());
  zelor::test::nextCycle();

  std::uint32_t index = 0;
  EXPECT_EQ(setSpeed(3.0f, &index), -1);
  EXPECT_EQ(index, kNoIndex);
  EXPECT_EQ(setEStop(1, &index), -1);
  EXPECT_EQ(index, kNoIndex);
  EXPECT_EQ(setPosition(1.0f, &index), -1);
  EXPECT_EQ(index, kNoIndex);
  EXPECT_EQ(driver.pending(), 0u);

  float position = 9.0f;
  bool stopped = true;
  int ready = 9;
  std::uint32_t driverIndex = 9;
  bool done = false;
  EXPECT_EQ(getPosition(&position), -1);
  EXPECT_EQ(position, 0.0f);
  EXPECT_EQ(getStopState(&stopped), -1);
  EXPECT_FALSE(stopped);
  EXPECT_EQ(getReady(&ready), -1);
  EXPECT_EQ(ready, 0);
  EXPECT_EQ(getCmdIndex(&driverIndex), -1);
  EXPECT_EQ(driverIndex, 0u);
  EXPECT_EQ(getCmdAllDone(&done), -1);
  EXPECT_TRUE(done);
  // The alarm words are read even so.
  std::uint16_t alarm[2] = {};
  EXPECT_EQ(getAlarm(alarm), -1);
  EXPECT_EQ(alarm[0], 5);
  EXPECT_EQ(alarm[1], 6);

  // The offline calls consumed no index.
  ASSERT_TRUE(zelor::test::setSlideDriverOnline(true));
  ASSERT_EQ(setSpeed(3.0f, &index), 0);
  EXPECT_EQ(index, 1u);
  expectMessage(driver, {2, 9, floatValue(3.0f), 1}, "first numbered command");
}

TEST(ExterAxisLink, OfflineClearAlarmZeroesOnlyTheAlarmWordsInPlace) {
  buildLink();
  FakeSlideDriver driver;
  ASSERT_TRUE(driver.opened());
  unsigned char before[sizeof(ExterAxisStatus)];
  for (std::size_t i = 0; i < sizeof(before); ++i) before[i] = static_cast<unsigned char>(0xA0 + i);
  driver.writeBytes(before);
  zelor::test::nextCycle();

  std::uint32_t index = 0;
  EXPECT_EQ(clearAlarm(&index), -1);
  EXPECT_EQ(index, kNoIndex);
  EXPECT_EQ(driver.pending(), 0u);

  unsigned char after[sizeof(ExterAxisStatus)];
  driver.readBytes(after);
  for (std::size_t i = 0; i < sizeof(after); ++i) {
    const bool alarmByte = i >= offsetof(ExterAxisStatus, alarmCode) && i < offsetof(ExterAxisStatus, position);
    EXPECT_EQ(after[i], alarmByte ? 0 : before[i]) << "status byte " << i;
  }
}

// A data server restarted while the driver still runs finds the objects of
// its previous run: it must use them, keep the driver's semaphore as it is and
// number above what the driver has already handled.
TEST(ExterAxisLink, SecondRunUsesTheObjectsAlreadyPresent) {
  FakeSlideDriver::setOnline(true);
  const pid_t first = fork();
  ASSERT_GE(first, 0);
  if (first == 0) {
    std::uint32_t index = 0;
    const int rc = setEnable(true, &index);
    _exit(rc == 0 && index == 1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(first, &status, 0), first);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "first run could not send";

  FakeSlideDriver driver;
  ASSERT_TRUE(driver.opened()) << "the first run's objects are gone";
  expectMessage(driver, {2, 1, intValue(1), 1}, "first run's enable");
  ExterAxisStatus block{};
  block.cmdIndex = 5;
  block.reachedIndex = 7;
  block.position = 12.0f;
  driver.writeStatus(block);
  zelor::test::nextCycle();
  semun two{};
  two.val = 2;  // a value only the driver could have set
  ASSERT_EQ(semctl(driver.semaphoreId(), 0, SETVAL, two), 0);

  std::uint32_t index = 0;
  ASSERT_EQ(setSpeed(2.0f, &index), 0);
  EXPECT_EQ(index, 8u) << "new indexes lie above the driver's 5 and 7";
  expectMessage(driver, {2, 9, floatValue(2.0f), 8}, "second run's speed");
  EXPECT_EQ(semctl(driver.semaphoreId(), 0, GETVAL), 2) << "the semaphore of the first run was reset";

  float position = 0.0f;
  ASSERT_EQ(getPosition(&position), 0);
  EXPECT_FLOAT_EQ(position, 12.0f);
  bool done = true;
  ASSERT_EQ(getCmdAllDone(&done), 0);
  EXPECT_FALSE(done);
  block.reachedIndex = 9;
  driver.writeStatus(block);
  zelor::test::nextCycle();
  ASSERT_EQ(getCmdAllDone(&done), 0);
  EXPECT_TRUE(done);
}

// A status memory that cannot be had (here: one of the wrong size under the
// key) is treated as absent: no crash, getters fail, commands still go out.
TEST(ExterAxisLink, AbsentStatusMemoryIsNeverTouched) {
  const key_t key = ftok(kKeyPath, kKeyId);
  ASSERT_NE(key, -1);
  const int small = shmget(key, 16, IPC_CREAT | IPC_EXCL | 0666);
  ASSERT_GE(small, 0);
  FakeSlideDriver::setOnline(true);

  float position = 9.0f;
  EXPECT_EQ(getPosition(&position), -1);
  EXPECT_EQ(position, 0.0f);
  bool done = false;
  EXPECT_EQ(getCmdAllDone(&done), -1);
  EXPECT_TRUE(done);
  std::uint16_t alarm[2] = {1, 1};
  EXPECT_EQ(getAlarm(alarm), -1);
  EXPECT_EQ(alarm[0], 0);
  EXPECT_EQ(alarm[1], 0);

  std::uint32_t index = 0;
  ASSERT_EQ(setSpeed(4.0f, &index), 0);
  EXPECT_EQ(index, 1u);
  FakeSlideDriver driver;  // opens the queue; the memory does not fit
  expectMessage(driver, {2, 9, floatValue(4.0f), 1}, "speed");

  ASSERT_TRUE(zelor::test::setSlideDriverOnline(false));
  EXPECT_EQ(clearAlarm(&index), -1);
  EXPECT_EQ(index, kNoIndex);
}
