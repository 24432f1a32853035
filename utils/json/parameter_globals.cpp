#include "json/parameter_globals.h"

st_collisionParams m_st_collisionParams = {};
st_loadParams m_st_loadParams = {};
st_basicdynamicparams6 m_st_basicdynamicparams6 = {};

namespace zelor::config {

int gCollisonMode = 0;
std::string gMasterAddr;
int gRobotId = 0;
int gRobotInLine = 0;

}  // namespace zelor::config
