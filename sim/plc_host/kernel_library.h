#pragma once

#include <cstdint>
#include <string>

struct AxesGroupRef;
struct core_interface;

namespace zelor::sim {

// libvantrel's flat C interface, resolved by name from the loaded library.
struct VantrelApi {
  void (*init)(AxesGroupRef*, core_interface*);
  void (*init_params)(const void*);
  void (*run)();
  void (*recv_visiondata)(const char*);
  void (*update_di)(const std::uint32_t*);
  void (*get_di)(std::uint32_t*);
  void (*update_do)(std::uint32_t*);
  void (*update_modbusdi)(const std::uint8_t*);
  void (*update_modbusdo)(std::uint8_t*);
  void (*get_di_ptr)(void**);
  void (*get_do_ptr)(void**);
  void (*get_pose)(float*);
  void (*get_armOrientation)(int*);
  void (*get_version)(int*, int*, int*);
  void (*get_alarms)(std::uint8_t*);
  void (*clear_alarm_by_index)(unsigned);
  void (*get_AlgsTime)(int*, float*);
  void (*get_stepin_enable)(std::uint8_t*);
  void (*get_ready_status)(std::uint8_t*);
  void (*get_stop_status)(std::uint8_t*);
  void (*get_run_data)(void*);
  std::uint8_t* gPhyDIs;
  std::uint8_t* gPhyDOs;
  std::uint8_t* gIsCollisionDect;
};

struct KernelLibraryPaths {
  std::string utils;        // libutils: the settings globals the kernel resolves
  std::string excitBuffer;  // the identification buffer stand-in
  std::string vantrel;
};

// Loads libutils and the identification buffer stand-in into the global
// namespace, then libvantrel, and resolves every export. False with a
// message naming what is missing.
bool LoadKernelLibrary(const KernelLibraryPaths& paths, VantrelApi& api, std::string& error);

}  // namespace zelor::sim
