#include "common/ipc/msq_interface.h"

#include <sys/ipc.h>
#include <sys/msg.h>

#include "log/ombrel.h"

namespace interface {

namespace {
constexpr int kChannel15 = ~15;
constexpr int kInfo = 2;
}  // namespace

int msqInterface::initMSQ(const char* path, unsigned projId, unsigned qbytes) {
  prjId = projId;
  key = static_cast<int>(ftok(path, static_cast<int>(projId)));
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "msqPrjID = {} ,key = {}", prjId, key);
  if (msq == -1) {
    msq = msgget(key, IPC_CREAT | 0666);
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "this->msq = {}", msq);
    if (msq == -1) {
      spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "this->msq == -1");
      return -1;
    }
  }
  msqid_ds info{};
  msgctl(msq, IPC_STAT, &info);
  info.msg_qbytes = qbytes;
  ret = msgctl(msq, IPC_SET, &info);
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "ret = {}", ret);
  return ret;
}

}  // namespace interface
