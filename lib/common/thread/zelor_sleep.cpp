#include "common/thread/zelor_sleep.h"

#include <sys/select.h>

namespace ZelorSleep {

void zelor_usleep(long microseconds) {
  if (microseconds <= 0) return;
  timeval tv{};
  tv.tv_sec = microseconds / 1000000;
  tv.tv_usec = microseconds % 1000000;
  select(0, nullptr, nullptr, nullptr, &tv);
}

}  // namespace ZelorSleep
