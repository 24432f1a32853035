#include "common/ipc/semlib.h"

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/ipc/key_file.h"
#include "install_paths.h"
#include "log/line_log.h"

namespace {

// Owner read/write: every process of the system runs as one user.
constexpr int kPermissions = 0600;

// Values of a new set: the request lock free, no request, no reply waiting.
constexpr int initialValue(int n) { return n == zelor::common::ipc::kSemlibLockSem ? 1 : 0; }

int semStep(int semid, int n, short delta, short flags) {
  sembuf op{};
  op.sem_num = static_cast<unsigned short>(n);
  op.sem_op = delta;
  op.sem_flg = flags;
  return semop(semid, &op, 1);
}

// A signal handler, or a stop and continue, ends a waiting semop with EINTR;
// that is no failure of the channel, so the wait goes on.
int semStepWaiting(int semid, int n, short delta) {
  int r;
  do {
    r = semStep(semid, n, delta, 0);
  } while (r == -1 && errno == EINTR);
  return r;
}

// The memory under key; an older, smaller memory of the same key is replaced.
int openRequestMemory(key_t key) {
  int shmid = shmget(key, sizeof(semlib_shm), IPC_CREAT | kPermissions);
  if (shmid == -1 && errno == EINVAL) {
    const int old = shmget(key, 0, kPermissions);
    if (old != -1 && shmctl(old, IPC_RMID, nullptr) == 0)
      shmid = shmget(key, sizeof(semlib_shm), IPC_CREAT | kPermissions);
    else
      errno = EINVAL;
  }
  return shmid;
}

}  // namespace

extern "C" {

int getftok(int id) {
  const char* path = zelor::paths::kSemKeyFile;
  if (!zelor::common::ipc::ensureKeyFile(path)) {
    ZLOG_CRTCL("Can't create config file:%s", std::strerror(errno));
    std::exit(1);
  }
  const key_t key = ftok(path, id);
  if (key == -1) {
    ZLOG_ERROR("Get ftok key failed:%s!", std::strerror(errno));
    std::exit(1);
  }
  return key;
}

int dsem_init(int key) {
  using zelor::common::ipc::kSemlibSemCount;
  const int semid = semget(key, kSemlibSemCount, IPC_CREAT | IPC_EXCL | kPermissions);
  if (semid == -1) {
    // Exists already (or cannot be made new): take it as it is, never reset it.
    const int existing = semget(key, 0, IPC_CREAT | kPermissions);
    if (existing == -1) {
      ZLOG_ERROR("Unable to get semaphore:[%d]%s!", key, std::strerror(errno));
      std::exit(1);
    }
    return existing;
  }
  for (int n = 0; n < kSemlibSemCount; ++n) {
    if (semctl(semid, n, GETVAL) == -1 || semctl(semid, n, SETVAL, initialValue(n)) == -1) {
      ZLOG_ERROR("Unable to init semaphore:[%d]%s!", n, std::strerror(errno));
      std::exit(1);
    }
  }
  return semid;
}

int dsem_p(int semid, int n) {
  if (semStepWaiting(semid, n, -1) == -1) {
    ZLOG_ERROR("Set semphore P:[%d]%s!", n, std::strerror(errno));
    std::exit(1);
  }
  return 0;
}

int dsem_v(int semid, int n) {
  if (semStepWaiting(semid, n, 1) == -1) {
    ZLOG_ERROR("Set semphore V:[%d]%s!", n, std::strerror(errno));
    std::exit(1);
  }
  return 0;
}

int dsem_p_nowait(int semid, int n) { return semStep(semid, n, -1, IPC_NOWAIT); }

int dsem_v_nowait(int semid, int n) { return semStep(semid, n, 1, IPC_NOWAIT); }

void dsem_del(int semid) {
  if (semctl(semid, 0, IPC_RMID) == -1) ZLOG_ERROR("Unable to del semaphore:[%d]%s!", 0, std::strerror(errno));
}

int init_semlib(semlib_shm** shm) {
  const int key = getftok(zelor::common::ipc::kSemlibKeyId);
  const int semid = dsem_init(key);
  const int shmid = openRequestMemory(key);
  if (shmid == -1) {
    ZLOG_ERROR("Reader:failure in shmget:%s!", std::strerror(errno));
    dsem_del(semid);
    std::exit(1);
  }
  void* addr = shmat(shmid, nullptr, 0);
  if (addr == reinterpret_cast<void*>(-1)) {
    ZLOG_ERROR("%s!", std::strerror(errno));
    dsem_del(semid);
    std::exit(1);
  }
  if (shm != nullptr) *shm = static_cast<semlib_shm*>(addr);
  return semid;
}

}  // extern "C"
