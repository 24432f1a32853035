// The feedback ports' server listens on the one configured address.
#include <cstdlib>

#include <gtest/gtest.h>

#include "bound_sockets.h"
#include "realtime_data/tcp_dispenser.h"

namespace zelor::modules::realTimeData {
namespace {

TEST(DispenserListenAddress, BindsTheConfiguredAddress) {
  setenv("ZELOR_LISTEN_ADDRESS", "127.0.0.1", 1);
  const auto before = zelor::test::boundSockets();
  {
    tcpDispenser dispenser;
    ASSERT_EQ(dispenser.init(0, 4, true), 0);
    const auto added = zelor::test::newSockets(before);
    EXPECT_TRUE(zelor::test::allOn(added, "127.0.0.1")) << zelor::test::listed(added);
  }
  unsetenv("ZELOR_LISTEN_ADDRESS");
}

}  // namespace
}  // namespace zelor::modules::realTimeData
