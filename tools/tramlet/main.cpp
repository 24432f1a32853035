// Slide-rail driver: tramlet <device below /dev> <instance>.
#include <sys/ipc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "common/links/exter_axis_msg.h"
#include "tramlet/tramlet.h"

int main(int argc, char** argv) {
  // Lines reach a reader of the output as they are printed.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc != 3) {
    std::printf("usge: %s /dev/ttyUSB0 1\n", argv[0]);
    return -1;
  }
  const long instance = std::strtol(argv[2], nullptr, 10);
  const key_t key = ftok(ExterAxisRTU::kKeyPath, static_cast<int>(static_cast<unsigned long>(instance) + 2000u));
  char path[tramlet::kPathSize];
  const int length = std::snprintf(path, sizeof path, "/dev/%s", argv[1]);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof path) {
    std::printf("usge: %s /dev/ttyUSB0 1\n", argv[0]);
    return -1;
  }
  tramlet driver(path, key);
  driver.start();
  while (driver.status() == 1) sleep(1);
  return 0;
}
