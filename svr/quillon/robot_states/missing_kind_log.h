#pragma once

#include <atomic>

class ISubProcess;
class SubProcessFactory;

// Looks sub-processes up for the state-detection thread, which asks every
// pass: a missing kind logs "Can't find ISubProcess:%d" the first time it is
// found missing and again only after it has been found in between.
class MissingKindLog {
 public:
  static constexpr int kKinds = 5;

  ISubProcess* find(SubProcessFactory& factory, int kind);
  // Forgets what was logged (a new thread start).
  void reset();

 private:
  std::atomic<bool> logged_[kKinds] = {};
};
