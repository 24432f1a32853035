// The shared libraries load and export only what other binaries use.
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "process.h"

namespace {

std::vector<std::string> definedDynamicSymbols(const std::string& library) {
  const auto r = zelor::test::runProcess({"/usr/bin/nm", "-D", "--defined-only", "--format=posix", library});
  EXPECT_EQ(r.exitCode, 0) << library << ": " << r.err;
  std::vector<std::string> names;
  size_t pos = 0;
  for (size_t nl; (nl = r.out.find('\n', pos)) != std::string::npos; pos = nl + 1) {
    const std::string line = r.out.substr(pos, nl - pos);
    names.push_back(line.substr(0, line.find(' ')));
  }
  return names;
}

// Linker-made markers present in every shared object.
const std::regex kLinkerSymbols(R"(_init|_fini|_edata|_end|__bss_start)");

struct Library {
  const char* path;
  std::regex allowed;
};

// The motion library as a host without the data server loads it: its settings
// globals come from libutils, the identification buffer from the stand-in.
void* openVantrel() {
  if (dlopen(zelor::test::built::kUtils, RTLD_NOW | RTLD_GLOBAL) == nullptr) return nullptr;
  if (dlopen(zelor::test::built::kExcitBufferStandIn, RTLD_NOW | RTLD_GLOBAL) == nullptr) return nullptr;
  return dlopen(zelor::test::built::kVantrel, RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

TEST(Deliverables, SharedLibrariesLoad) {
  // The kernel resolves its settings globals from libutils at load, and the
  // identification buffer from the data server; opened alone, before the data
  // server, it takes the buffer from the stand-in.
  void* utils = dlopen(zelor::test::built::kUtils, RTLD_NOW | RTLD_GLOBAL);
  ASSERT_NE(utils, nullptr) << dlerror();
  void* buffer = dlopen(zelor::test::built::kExcitBufferStandIn, RTLD_NOW | RTLD_GLOBAL);
  ASSERT_NE(buffer, nullptr) << dlerror();
  // The plug-in takes the Lua core from the interpreter that loads it; here
  // Debian's Lua library stands in for the interpreter.
  void* lua = dlopen("liblua5.3.so.0", RTLD_NOW | RTLD_GLOBAL);
  ASSERT_NE(lua, nullptr) << dlerror();
  for (const char* lib : {zelor::test::built::kVantrel, zelor::test::built::kQuillon,
                          zelor::test::built::kPlugin}) {
    void* h = dlopen(lib, RTLD_NOW | RTLD_GLOBAL);
    EXPECT_NE(h, nullptr) << lib << ": " << dlerror();
  }
  EXPECT_NE(dlsym(RTLD_DEFAULT, "luaopen_libquillonPlugin"), nullptr);
  EXPECT_NE(dlsym(RTLD_DEFAULT, "gIsCollisionDect"), nullptr);
}

TEST(Deliverables, MotionLibraryExportsItsTrigonometry) {
  void* vantrel = openVantrel();
  ASSERT_NE(vantrel, nullptr) << dlerror();
  for (const char* name : {"sinQ", "cosQ", "tanQ", "acosQ", "asinQ"}) {
    EXPECT_NE(dlsym(vantrel, name), nullptr) << name;
  }
  using Fn = double (*)(double);
  auto acosQ = reinterpret_cast<Fn>(dlsym(vantrel, "acosQ"));
  ASSERT_NE(acosQ, nullptr);
  EXPECT_EQ(acosQ(-1.0), 3.141592653589793);
}

TEST(Deliverables, MotionLibraryExportsPathGeometryAndBlending) {
  void* vantrel = openVantrel();
  ASSERT_NE(vantrel, nullptr) << dlerror();
  // getPath(MotionCmd, PathInfo&), Blending::getBlendingSeg, and getUiteraion,
  // which nothing in the library calls.
  for (const char* name : {"_Z7getPath9MotionCmdR8PathInfo", "_ZN8Blending14getBlendingSegER8PathInfoS1_dd",
                           "_ZNK8Blending12getUiteraionEddPd", "_Z12calForwardVmddddddd"}) {
    EXPECT_NE(dlsym(vantrel, name), nullptr) << name;
  }
}

TEST(Deliverables, MotionLibraryExportsTheDynamics) {
  void* vantrel = openVantrel();
  ASSERT_NE(vantrel, nullptr) << dlerror();
  // The model record and torque bounds the planners write, and the two model
  // operations nothing in the library calls.
  for (const char* name : {"dynParam", "torMax", "torMin", "_Z14Jacobdot_SCARAPdS_PA4_dS1_S_",
                           "_Z10calcTorquePdS_S_S_7DynPara", "_Z12InitDynParamv", "_Z6resetQv",
                           "_Z30DynamicParameterAdaptive_scaraPfi", "_Z24DynamicFeedForward_scaraPf"}) {
    EXPECT_NE(dlsym(vantrel, name), nullptr) << name;
  }
}

TEST(Deliverables, DataServerOffersTheIdentificationBuffer) {
  // Loaded without the stand-in: the kernel's references to the buffer bind to
  // the data server's own definitions, null and 0 at load.
  ASSERT_NE(dlopen(zelor::test::built::kUtils, RTLD_NOW | RTLD_GLOBAL), nullptr) << dlerror();
  void* quillon = dlopen(zelor::test::built::kQuillon, RTLD_NOW | RTLD_GLOBAL);
  ASSERT_NE(quillon, nullptr) << dlerror();
  auto* buffer = static_cast<void**>(dlsym(quillon, "g_tagExcit_6Pos"));
  auto* size = static_cast<unsigned*>(dlsym(quillon, "g_tagExcit_6Pos_size"));
  ASSERT_NE(buffer, nullptr);
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(*buffer, nullptr);
  EXPECT_EQ(*size, 0u);
}

// The PLC runtime finds the six entry points by name; the motion library
// resolves the identification buffer from the data server.
TEST(Deliverables, DataServerDefinesItsEntryPointsAndSharedRecords) {
  const auto names = definedDynamicSymbols(zelor::test::built::kQuillon);
  for (const char* wanted : {"RTSCreateParameter", "RTSStartRobot", "RTSPlcUpdateDI", "RTSPlcUpdateDO", "RTSRobotCmd",
                             "RTSReleaseRobot", "g_tagExcit_6Pos", "g_tagExcit_6Pos_size", "g_coreInterface"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), wanted), names.end()) << "libquillon does not define " << wanted;
  }
}

TEST(Deliverables, MotionLibraryExportsItsCInterface) {
  const auto names = definedDynamicSymbols(zelor::test::built::kVantrel);
  const auto has = [&names](const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  for (const char* name :
       {"vantrel_init", "vantrel_init_params", "vantrel_run", "vantrel_recv_visiondata", "vantrel_update_di",
        "vantrel_get_di", "vantrel_update_do", "vantrel_update_modbusdi", "vantrel_update_modbusdo",
        "vantrel_get_di_ptr", "vantrel_get_do_ptr", "vantrel_get_pose", "vantrel_get_armOrientation",
        "vantrel_get_version", "vantrel_get_alarms", "vantrel_clear_alarm_by_index", "vantrel_get_AlgsTime",
        "vantrel_get_stepin_enable", "vantrel_get_ready_status", "vantrel_get_stop_status", "vantrel_get_run_data",
        "gPhyDIs", "gPhyDOs", "gIsCollisionDect"}) {
    EXPECT_TRUE(has(name)) << "libvantrel exports " << name;
  }
  const auto utils = definedDynamicSymbols(zelor::test::built::kUtils);
  EXPECT_EQ(std::find(utils.begin(), utils.end(), "gIsCollisionDect"), utils.end()) << "one collision switch";

  // The images are 1000 bytes each.
  const auto listing = zelor::test::runProcess(
      {"/usr/bin/nm", "-D", "--defined-only", "--format=posix", zelor::test::built::kVantrel});
  for (const char* image : {"gPhyDIs", "gPhyDOs"}) {
    EXPECT_TRUE(std::regex_search(listing.out, std::regex(std::string("\\n") + image + R"( [BD] [0-9a-f]+ 0*3e8\n)")))
        << image << " is 1000 bytes";
  }
  void* vantrel = openVantrel();
  ASSERT_NE(vantrel, nullptr) << dlerror();
  auto* di = static_cast<unsigned char*>(dlsym(vantrel, "gPhyDIs"));
  using GetDiPtr = void (*)(void**);
  auto getDiPtr = reinterpret_cast<GetDiPtr>(dlsym(vantrel, "vantrel_get_di_ptr"));
  ASSERT_NE(di, nullptr);
  ASSERT_NE(getDiPtr, nullptr);
  void* pointer = nullptr;
  getDiPtr(&pointer);
  EXPECT_EQ(pointer, di);
}

TEST(Deliverables, ExportOnlyWhatTheSystemNames) {
  const std::vector<Library> libraries = {
      {zelor::test::built::kQuillon, std::regex(R"(RTS\w+|g_tagExcit_6Pos|g_tagExcit_6Pos_size|g_coreInterface)")},
      // libvantrel: its C interface, the dynamics globals, and the path geometry, blending
      // and dynamics (mangled).
      {zelor::test::built::kVantrel,
       std::regex(R"(vantrel_\w+|gIsCollisionDect|gPhyDIs|gPhyDOs|sinQ|cosQ|tanQ|acosQ|asinQ|dynParam|torMax|torMin|)"
                  R"(_Z\d+(getPath|getPos|getTangent|getCurvature|calArcCenter|calArcCoodinate|Eul2UnitQua|)"
                  R"(UnitQua2Eul|MultiQua|InvUnitQua|QuaAxis|calcAxis|SlerpInsert|blendTangent|calForwardVm|)"
                  R"(calCubicEq|SignModified|ikineScara|DHTransMat|Jacobdot_SCARA|calcAB_SCARA|calcTCPAcc|)"
                  R"(MassInertiaMatrix|CenCorMatrix|Friction|Gravity|calcDynCoef|calcTorque|calcTorqueW7|)"
                  R"(InitDynParam|DynamicOptimal|calcPathMaxAcc|RadomExcit_scara|RadomExcit_scara_Z|)"
                  R"(RadomExcit_6|resetQ|DynamicParameterAdaptive_scara|DynamicFeedForward_scara)\w*|_ZNK?8Blending\w+)")},
      // libutils: the configuration classes and globals of the zelor namespaces
      // (mangled), the m_st_* parameter globals.
      {zelor::test::built::kUtils,
       std::regex(R"(_ZN5zelor\w+|_Z\w*17JsonProjectReader\w*|_Z\w*12ModbusClient\w*|_Z\w*9UdpClient\w*|)"
                  R"(_Z\w*10RobotQueue\w*|m_st_\w+)")},
      {zelor::test::built::kPlugin, std::regex(R"(luaopen_libquillonPlugin)")},
  };
  for (const Library& lib : libraries) {
    const auto names = definedDynamicSymbols(lib.path);
    for (const std::string& name : names) {
      if (std::regex_match(name, kLinkerSymbols)) continue;
      EXPECT_TRUE(std::regex_match(name, lib.allowed)) << lib.path << " exports " << name;
    }
  }
}

TEST(Deliverables, CollisionSwitchIsTheKernelsOnce) {
  void* utils = dlopen(zelor::test::built::kUtils, RTLD_NOW | RTLD_GLOBAL);
  ASSERT_NE(utils, nullptr) << dlerror();
  using SwitchFn = unsigned char* (*)();
  auto collisionSwitch = reinterpret_cast<SwitchFn>(dlsym(utils, "_ZN5zelor6config15collisionSwitchEv"));
  ASSERT_NE(collisionSwitch, nullptr);
  unsigned char* own = collisionSwitch();
  ASSERT_NE(dlopen(zelor::test::built::kQuillon, RTLD_NOW | RTLD_GLOBAL), nullptr) << dlerror();
  auto* kernel = static_cast<unsigned char*>(dlsym(RTLD_DEFAULT, "gIsCollisionDect"));
  ASSERT_NE(kernel, nullptr);
  EXPECT_EQ(collisionSwitch(), kernel);
  EXPECT_NE(own, kernel);
  EXPECT_EQ(*kernel, 0);
}
