#include "exchange/command_lock.h"

#include "exchange/fair_mutex.h"

namespace interface {

namespace {

constinit FairMutex commandMutex;
// How many holds the calling thread has open.
thread_local int holdDepth = 0;

}  // namespace

CommandHold::CommandHold() {
  if (holdDepth++ == 0) commandMutex.lock();
}

CommandHold::~CommandHold() {
  if (--holdDepth == 0) commandMutex.unlock();
}

}  // namespace interface
