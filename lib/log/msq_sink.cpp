#include "log/msq_sink.h"

#include <sys/ipc.h>
#include <sys/msg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "install_paths.h"
#include "log/log_line.h"

namespace spdlog::sinks {

msq_sink::msq_sink(int channel) {
  const key_t key = ftok(zelor::paths::kLogKeyPath, channel);
  msq_ = msgget(key, IPC_CREAT | 0666);
  std::printf("[%s] this->msq = %d\n", "initMSQ", msq_);
  if (msq_ == -1) {
    std::printf("[%s] this->msq == -1\n", "initMSQ");
    return;
  }
  msqid_ds attrs{};
  (void)msgctl(msq_, IPC_STAT, &attrs);
  attrs.msg_qbytes = kLogQueueBytes;
  (void)msgctl(msq_, IPC_SET, &attrs);
}

void msq_sink::sink_it_(const details::log_msg& msg) {
  LogLine line;
  std::memset(line.text, 0, sizeof line.text);
  if (msq_ == -1) return;

  memory_buf_t formatted;
  formatter_->format(msg, formatted);
  std::memcpy(line.text, formatted.data(), std::min(formatted.size(), sizeof line.text));
  line.type = kLogLineType;
  (void)msgsnd(msq_, &line, sizeof line.text, IPC_NOWAIT);
}

}  // namespace spdlog::sinks
