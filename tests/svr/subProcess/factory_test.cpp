#include "subProcess/sub_process_factory.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "stdout_capture.h"
#include "subProcess/activity.h"

using namespace std::chrono_literals;

TEST(SubProcessFactory, CallsOnMissingKindsAreLoggedAndSkipped) {
  SubProcessFactory factory;
  for (int kind : {0, 2, 3, 4}) {
    zelor::test::StdoutCapture out;
    factory.interCall(kind, 0, nullptr, nullptr, nullptr);
    const std::string printed = out.finish();
    EXPECT_NE(printed.find("[CRTCL|"), std::string::npos) << printed;
    EXPECT_NE(printed.find("Can't find ISubProcess:" + std::to_string(kind)), std::string::npos) << printed;
  }
  zelor::test::StdoutCapture quiet;
  EXPECT_EQ(factory.getInterface(3), nullptr);
  // Stopping a kind that was never started, or starting one beyond 4 or
  // without its class yet, does nothing.
  factory.stop(0);
  factory.stop(7);
  SubProcessParam param;
  factory.start(5, &param);
  factory.start(3, &param);
  EXPECT_EQ(factory.getInterface(3), nullptr);
  EXPECT_EQ(factory.getInterface(5), nullptr);
  EXPECT_EQ(quiet.finish(), "") << "getInterface logs nothing";
}

namespace {

class Worker {
 public:
  void loop() {
    entered = true;
    while (run) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(50ms);  // stop must wait for this
    finished = true;
  }
  std::atomic<bool> run{true};
  std::atomic<bool> entered{false};
  std::atomic<bool> finished{false};
};

}  // namespace

TEST(Activity, StartsOnceNamedAfterItsOwnerAndStopWaitsForTheFunction) {
  Worker worker;
  Activity<Worker> activity(&worker, &Worker::loop);
  EXPECT_FALSE(activity.started());
  EXPECT_EQ(activity.stopRequested(), 1);
  activity.startActivity("Worker");
  activity.startActivity("Worker");  // already started: nothing
  EXPECT_TRUE(activity.started());
  EXPECT_EQ(activity.stopRequested(), 0);
  EXPECT_EQ(activity.objectName(), "Worker");
  for (int i = 0; i < 500 && !worker.entered; ++i) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(worker.entered);
  worker.run = false;
  activity.stopActivity();
  EXPECT_TRUE(worker.finished) << "stop returned before the member function ended";
  EXPECT_FALSE(activity.started());
}

TEST(Activity, RunClearsStartedWhenTheFunctionReturns) {
  Worker worker;
  worker.run = false;
  Activity<Worker> activity(&worker, &Worker::loop);
  activity.startActivity("Worker");
  ASSERT_TRUE(activity.wait(QDeadlineTimer(2000)));
  EXPECT_TRUE(worker.finished);
  EXPECT_FALSE(activity.started());
  // A finished Activity starts again.
  worker.finished = false;
  activity.startActivity("Worker");
  ASSERT_TRUE(activity.wait(QDeadlineTimer(2000)));
  EXPECT_TRUE(worker.finished);
}

namespace {

class Thrower {
 public:
  void fail() { throw std::runtime_error("worker failed"); }
};

// The thread itself does nothing, so started stays set until the test runs
// the Activity's own run() on its thread.
class ThrowingActivity : public Activity<Thrower> {
 public:
  using Activity<Thrower>::Activity;
  void runHere() { Activity<Thrower>::run(); }

 protected:
  void run() override {}
};

}  // namespace

TEST(Activity, RunClearsStartedAndRethrowsWhenTheFunctionThrows) {
  Thrower thrower;
  ThrowingActivity activity(&thrower, &Thrower::fail);
  activity.startActivity("Thrower");
  ASSERT_TRUE(activity.wait(QDeadlineTimer(2000)));
  ASSERT_TRUE(activity.started());
  EXPECT_THROW(activity.runHere(), std::runtime_error);
  EXPECT_FALSE(activity.started());
  // The mutex was given back: stop and destruction do not wait for ever.
  activity.stopActivity();
}
