#include "plc_host/quillon_library.h"

#include "plc_host/shared_library.h"

namespace zelor::sim {

namespace {

template <typename T>
bool resolve(void* library, const char* name, T& out, std::string& error) {
  return ResolveSymbol(library, "libquillon", name, out, error);
}

}  // namespace

bool LoadQuillonLibrary(const std::string& path, QuillonApi& api, std::string& error) {
  // Nothing of the host stands in for the data server's symbols: libvantrel
  // resolves the identification buffer from libquillon.
  void* quillon = OpenSharedLibrary(path, RTLD_NOW | RTLD_LOCAL, error);
  if (quillon == nullptr) return false;
  if (!resolve(quillon, "RTSCreateParameter", api.createParameter, error) ||
      !resolve(quillon, "RTSStartRobot", api.startRobot, error) ||
      !resolve(quillon, "RTSPlcUpdateDI", api.plcUpdateDI, error) ||
      !resolve(quillon, "RTSPlcUpdateDO", api.plcUpdateDO, error) ||
      !resolve(quillon, "RTSRobotCmd", api.robotCmd, error) ||
      !resolve(quillon, "RTSReleaseRobot", api.releaseRobot, error)) {
    return false;
  }
  // A handle's lookup covers the library's dependencies as well.
  api.gIsCollisionDect = static_cast<std::uint8_t*>(dlsym(quillon, "gIsCollisionDect"));
  return true;
}

}  // namespace zelor::sim
