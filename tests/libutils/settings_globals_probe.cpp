// Stand-in for the motion library's view of the settings globals: linked like
// libvantrel, without libutils, so the three records resolve at load from
// whatever libutils the process holds.
#include "json/parameter_globals.h"

extern "C" __attribute__((visibility("default"))) void probeSettingsGlobals(const st_collisionParams** collision,
                                                                            const st_loadParams** load,
                                                                            const st_basicdynamicparams6** model) {
  *collision = &m_st_collisionParams;
  *load = &m_st_loadParams;
  *model = &m_st_basicdynamicparams6;
}
