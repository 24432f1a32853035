#pragma once

namespace zelor::brevan {

// Starts every service of the control program, in a fixed order.
class ModuleController {
 public:
  ModuleController() = default;
  virtual ~ModuleController() = default;
  ModuleController(const ModuleController&) = delete;
  ModuleController& operator=(const ModuleController&) = delete;

  // Starts the services (every thread detached) and returns 1.
  int LoadAll();
  void Clear() {}
};

}  // namespace zelor::brevan
