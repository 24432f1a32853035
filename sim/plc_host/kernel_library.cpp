#include "plc_host/kernel_library.h"

#include "plc_host/shared_library.h"

namespace zelor::sim {

namespace {

template <typename T>
bool resolve(void* library, const char* name, T& out, std::string& error) {
  return ResolveSymbol(library, "libvantrel", name, out, error);
}

bool openGlobal(const std::string& path, std::string& error) {
  return OpenSharedLibrary(path, RTLD_NOW | RTLD_GLOBAL, error) != nullptr;
}

}  // namespace

bool LoadKernelLibrary(const KernelLibraryPaths& paths, VantrelApi& api, std::string& error) {
  // The kernel resolves the settings globals and the identification buffer
  // at load, so their providers come first.
  if (!openGlobal(paths.utils, error) || !openGlobal(paths.excitBuffer, error)) return false;
  void* vantrel = OpenSharedLibrary(paths.vantrel, RTLD_NOW | RTLD_LOCAL, error);
  if (vantrel == nullptr) return false;
  return resolve(vantrel, "vantrel_init", api.init, error) &&
         resolve(vantrel, "vantrel_init_params", api.init_params, error) &&
         resolve(vantrel, "vantrel_run", api.run, error) &&
         resolve(vantrel, "vantrel_recv_visiondata", api.recv_visiondata, error) &&
         resolve(vantrel, "vantrel_update_di", api.update_di, error) &&
         resolve(vantrel, "vantrel_get_di", api.get_di, error) &&
         resolve(vantrel, "vantrel_update_do", api.update_do, error) &&
         resolve(vantrel, "vantrel_update_modbusdi", api.update_modbusdi, error) &&
         resolve(vantrel, "vantrel_update_modbusdo", api.update_modbusdo, error) &&
         resolve(vantrel, "vantrel_get_di_ptr", api.get_di_ptr, error) &&
         resolve(vantrel, "vantrel_get_do_ptr", api.get_do_ptr, error) &&
         resolve(vantrel, "vantrel_get_pose", api.get_pose, error) &&
         resolve(vantrel, "vantrel_get_armOrientation", api.get_armOrientation, error) &&
         resolve(vantrel, "vantrel_get_version", api.get_version, error) &&
         resolve(vantrel, "vantrel_get_alarms", api.get_alarms, error) &&
         resolve(vantrel, "vantrel_clear_alarm_by_index", api.clear_alarm_by_index, error) &&
         resolve(vantrel, "vantrel_get_AlgsTime", api.get_AlgsTime, error) &&
         resolve(vantrel, "vantrel_get_stepin_enable", api.get_stepin_enable, error) &&
         resolve(vantrel, "vantrel_get_ready_status", api.get_ready_status, error) &&
         resolve(vantrel, "vantrel_get_stop_status", api.get_stop_status, error) &&
         resolve(vantrel, "vantrel_get_run_data", api.get_run_data, error) &&
         resolve(vantrel, "gPhyDIs", api.gPhyDIs, error) && resolve(vantrel, "gPhyDOs", api.gPhyDOs, error) &&
         resolve(vantrel, "gIsCollisionDect", api.gIsCollisionDect, error);
}

}  // namespace zelor::sim
