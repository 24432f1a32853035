#include "subProcess/factory_access.h"

#include <atomic>

#include "quillon.h"

namespace {
std::atomic<SubProcessFactory*> gFactory{nullptr};
}  // namespace

SubProcessFactory& subProcessFactory() {
  SubProcessFactory* f = gFactory.load(std::memory_order_acquire);
  return f != nullptr ? *f : Quillon::instance();
}

void setSubProcessFactory(SubProcessFactory* factory) { gFactory.store(factory, std::memory_order_release); }
