#pragma once

#include "service/app_protocol.h"

namespace zelor::brevan {

// Starts every service of the control program, in a fixed order.
class ModuleController {
 public:
  ModuleController() = default;
  virtual ~ModuleController() = default;
  ModuleController(const ModuleController&) = delete;
  ModuleController& operator=(const ModuleController&) = delete;

  // Starts the services (every thread detached), then serves the app
  // protocol on the calling thread; returns 1 only when that server gives up.
  int LoadAll();
  void Clear() {}

 private:
  zelor::modules::service::AppProtocol m_appProtocol;
};

}  // namespace zelor::brevan
