// The control cycle allocates nothing: heap allocations made on this
// thread inside vantrel_run are counted over the moving scenario, from the
// first cycle on. The kernel is started through vantrel_init (log queues,
// multi-robot configuration), as the host starts it.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "common/kernel/alarms.h"
#include "moving_program.h"

namespace {

thread_local bool tCounting = false;
std::atomic<long> gCycleAllocations{0};

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's hook interface (its header is not always installed).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                                         void (*free_hook)(const volatile void*));

namespace {
void OnMalloc(const volatile void*, std::size_t) {
  if (tCounting) gCycleAllocations.fetch_add(1, std::memory_order_relaxed);
}
void OnFree(const volatile void*) {}
void InstallCounter() { __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree); }
}  // namespace
#else
void* operator new(std::size_t size) {
  if (tCounting) gCycleAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
namespace {
void InstallCounter() {}
}  // namespace
#endif

namespace zelor::test {
namespace {

void CountedCycle() {
  tCounting = true;
  vantrel_run();
  tCounting = false;
}

class CycleAllocation : public CycleRig {
 protected:
  static int FirstAlarm() {
    for (unsigned i = 8; i < 256; ++i) {
      if (AlarmIsSet(i)) return static_cast<int>(i);
    }
    return -1;
  }
  WCSPosition ActualPose() {
    return PoseOf({joint(0).m_ActPosition, joint(1).m_ActPosition, joint(2).m_ActPosition, joint(3).m_ActPosition});
  }
};

TEST_F(CycleAllocation, MovingScenarioAllocatesNothing) {
  InstallCounter();
  FixedCore fixed;
  vantrel_init(&rec(), gp_core_interface_inst);
  Start();
  MovingProgram program(*sim, fixed, &CountedCycle);
  sim->SetConveyorRamp(0, 40);
  encoder[0].inUse = 1;
  gConveyor[0].dataSource = 1;
  gConveyor[0].encoderResolution = 10.0f;
  gConveyor[0].cameraTriggerOutput = 7;
  gConveyor[0].triggerDistance = 30.0f;

  program.Enable();
  program.StartQueue();
  program.QueueProgram();
  const bool done = program.RunQueue(3000);
  const int alarmAfterProgram = FirstAlarm();
  const WCSPosition afterProgram = ActualPose();
  const int rest = program.JogThenStop(kStopEmergency, 60);
  const double joint1AtRest = rec().m_Joints[0].m_NewSetValues.m_Position;
  program.Cycle(100);

  EXPECT_TRUE(done) << "the program ran to its end";
  EXPECT_EQ(alarmAfterProgram, -1) << "alarm raised by the program";
  // The arc, the program's last move, ends where it was sent.
  const WCSPosition arcEnd = PoseOf({0.0, 90.0, 100.0, 0.0});
  EXPECT_NEAR(afterProgram.x, arcEnd.x, 1e-2);
  EXPECT_NEAR(afterProgram.y, arcEnd.y, 1e-2);
  EXPECT_NEAR(afterProgram.z, arcEnd.z, 1e-2);
  EXPECT_GT(rest, 0) << "the stop came to rest";
  EXPECT_EQ(gRobotPrfMode, kPrfIdle);
  EXPECT_EQ(rec().m_Joints[0].m_NewSetValues.m_Position, joint1AtRest) << "the arm stays where the stop left it";
  EXPECT_EQ(FirstAlarm(), -1) << "alarm raised by the jog or its stop";
  EXPECT_EQ(gCycleAllocations.load(), 0) << "heap allocations inside the cycle over " << program.cycles()
                                         << " cycles";
}

}  // namespace
}  // namespace zelor::test
