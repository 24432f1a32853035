// Semaphore library of the script request channel, between real processes.
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "common/ipc/semlib.h"
#include "install_paths.h"
#include "log/line_log.h"
#include "fork_child.h"
#include "stdout_capture.h"

namespace {

using namespace std::chrono_literals;
using zelor::common::ipc::kSemlibSemCount;

// Status of a child that ran body and left with its result as exit code.
using zelor::test::forkChild;
using zelor::test::waitExit;

int semValue(int semid, int n) { return semctl(semid, n, GETVAL); }

// Waits until a process is blocked in a P on semaphore n.
bool waitForWaiter(int semid, int n) {
  for (int i = 0; i < 500; ++i) {
    if (semctl(semid, n, GETNCNT) == 1) return true;
    std::this_thread::sleep_for(2ms);
  }
  return false;
}

// Every test starts without key file, semaphores or memory and must leave
// neither semaphores nor memory behind.
class Semlib : public ::testing::Test {
 protected:
  void SetUp() override { std::remove(zelor::paths::kSemKeyFile); }
  void TearDown() override {
    if (shm_ != nullptr) shmdt(shm_);
    if (semid_ >= 0) {
      const key_t key = ftok(zelor::paths::kSemKeyFile, 11);
      const int shmid = shmget(key, 0, 0);
      if (shmid >= 0) shmctl(shmid, IPC_RMID, nullptr);
      dsem_del(semid_);
      EXPECT_EQ(semget(key, 0, 0), -1) << "semaphore set left over";
      EXPECT_EQ(shmget(key, 0, 0), -1) << "request memory left over";
    }
  }
  void open() {
    zelor::test::StdoutCapture quiet;
    semid_ = init_semlib(&shm_);
    quiet.finish();
    ASSERT_GE(semid_, 0);
    ASSERT_NE(shm_, nullptr);
  }

  int semid_ = -1;
  semlib_shm* shm_ = nullptr;
};

}  // namespace

TEST_F(Semlib, KeyFileIsCreatedEmptyWhenMissing) {
  ASSERT_NE(access(zelor::paths::kSemKeyFile, F_OK), 0);
  const int key = getftok(11);
  struct stat st{};
  ASSERT_EQ(stat(zelor::paths::kSemKeyFile, &st), 0);
  EXPECT_EQ(st.st_size, 0);
  EXPECT_EQ(key, ftok(zelor::paths::kSemKeyFile, 11));
  EXPECT_EQ(getftok(12), ftok(zelor::paths::kSemKeyFile, 12));
}

TEST_F(Semlib, NewSetHasLockFreeAndNothingWaiting) {
  open();
  EXPECT_EQ(semValue(semid_, 0), 1) << "request lock";
  for (int n = 1; n < kSemlibSemCount; ++n) EXPECT_EQ(semValue(semid_, n), 0) << "semaphore " << n;
  EXPECT_EQ(semctl(semid_, kSemlibSemCount, GETVAL), -1) << "exactly 18 semaphores";

  semid_ds ds{};
  ASSERT_EQ(semctl(semid_, 0, IPC_STAT, &ds), 0);
  EXPECT_EQ(ds.sem_perm.mode & 0777, 0600u);
  shmid_ds info{};
  ASSERT_EQ(shmctl(shmget(getftok(11), 0, 0), IPC_STAT, &info), 0);
  EXPECT_EQ(info.shm_segsz, sizeof(semlib_shm));
  EXPECT_EQ(info.shm_perm.mode & 0777, 0600u);
}

TEST_F(Semlib, SecondProcessSharesSetAndMemoryUnchanged) {
  open();
  dsem_v(semid_, 1);
  dsem_p(semid_, 0);
  shm_->alarmFlag = 1;
  shm_->reply[3].client = 4;

  const int parentSet = semid_;
  const pid_t child = forkChild([parentSet] {
    semlib_shm* mine = nullptr;
    zelor::test::StdoutCapture quiet;
    const int set = init_semlib(&mine);
    quiet.finish();
    if (set != parentSet) return 10;
    if (semctl(set, 0, GETVAL) != 0 || semctl(set, 1, GETVAL) != 1) return 11;  // not reinitialised
    if (mine->alarmFlag != 1 || mine->reply[3].client != 4) return 12;
    mine->request.commandId = 246;  // seen by the parent
    dsem_v(set, zelor::common::ipc::semlibReplySem(4));
    return 0;
  });
  EXPECT_EQ(waitExit(child), 0);
  EXPECT_EQ(shm_->request.commandId, 246);
  EXPECT_EQ(semValue(semid_, 9), 1);
}

TEST_F(Semlib, NoWaitOperationsReportInsteadOfBlocking) {
  open();
  errno = 0;
  EXPECT_EQ(dsem_p_nowait(semid_, 5), -1);
  EXPECT_EQ(errno, EAGAIN);
  EXPECT_EQ(semValue(semid_, 5), 0);
  EXPECT_EQ(dsem_v_nowait(semid_, 5), 0);
  EXPECT_EQ(dsem_p_nowait(semid_, 5), 0);
  EXPECT_EQ(semValue(semid_, 5), 0);
  EXPECT_EQ(dsem_p_nowait(semid_, kSemlibSemCount), -1) << "no semaphore 18";
}

TEST_F(Semlib, WaitingProcessSurvivesStopContinueAndSignals) {
  open();
  const int set = semid_;
  const pid_t child = forkChild([set] {
    std::signal(SIGUSR1, [](int) {});  // a handler ends a waiting semop with EINTR
    dsem_p(set, 3);
    return 0;
  });
  ASSERT_TRUE(waitForWaiter(semid_, 3));

  ASSERT_EQ(kill(child, SIGSTOP), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
  ASSERT_TRUE(WIFSTOPPED(status));
  ASSERT_EQ(kill(child, SIGCONT), 0);
  ASSERT_EQ(kill(child, SIGUSR1), 0);

  EXPECT_TRUE(waitForWaiter(semid_, 3)) << "the child must wait again after the signals";
  EXPECT_EQ(waitpid(child, &status, WNOHANG), 0) << "the child ended early";
  dsem_v(semid_, 3);
  EXPECT_EQ(waitExit(child), 0);
  EXPECT_EQ(semValue(semid_, 3), 0);
}

TEST_F(Semlib, OlderSmallerMemoryIsReplaced) {
  const key_t key = getftok(11);
  const int old = shmget(key, 2408, IPC_CREAT | 0600);
  ASSERT_GE(old, 0);
  open();
  shmid_ds info{};
  const int now = shmget(key, 0, 0);
  ASSERT_EQ(shmctl(now, IPC_STAT, &info), 0);
  EXPECT_EQ(info.shm_segsz, sizeof(semlib_shm));
  shm_->reply[7].packet[2063] = 0x5A;  // last byte of the last reply area is writable
}

TEST_F(Semlib, DeletingAMissingSetIsLoggedAndGoesOn) {
  zelor::test::StdoutCapture out;
  dsem_del(123456);
  const std::string text = out.finish();
  EXPECT_NE(text.find("[ERROR|dsem_del@"), std::string::npos) << text;
  EXPECT_NE(text.find("] Unable to del semaphore:[0]"), std::string::npos) << text;
}

// Fatal errors log on the line log (here sent to stderr) and end the process with status 1.
using SemlibDeathTest = Semlib;

TEST_F(SemlibDeathTest, FailedWaitEndsProcess) {
  EXPECT_EXIT(
      {
        zelor::log::setLineLogTarget(2, zelor::log::kLineLogDescriptorMode);
        dsem_p(123456, 0);
      },
      ::testing::ExitedWithCode(1), R"(\[ERROR\|dsem_p@.*\] Set semphore P:\[0\])");
  EXPECT_EXIT(
      {
        zelor::log::setLineLogTarget(2, zelor::log::kLineLogDescriptorMode);
        dsem_v(123456, 2);
      },
      ::testing::ExitedWithCode(1), R"(\[ERROR\|dsem_v@.*\] Set semphore V:\[2\])");
}

TEST_F(SemlibDeathTest, UnmakeableKeyFileEndsProcess) {
  // /zelor/bin replaced by a plain file: the key file cannot be created.
  const std::string bin = zelor::paths::kBin;
  const std::string aside = bin + ".aside";
  ASSERT_EQ(rename(bin.c_str(), aside.c_str()), 0);
  std::FILE* f = std::fopen(bin.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_EXIT(
      {
        zelor::log::setLineLogTarget(2, zelor::log::kLineLogDescriptorMode);
        getftok(11);
      },
      ::testing::ExitedWithCode(1), R"(\[CRTCL\|getftok@.*\] Can't create config file:Not a directory)");
  std::remove(bin.c_str());
  ASSERT_EQ(rename(aside.c_str(), bin.c_str()), 0);
}
