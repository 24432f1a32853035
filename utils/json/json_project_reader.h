#pragma once

#include <memory>
#include <string>

#include "common/protocol/command_records.h"
#include "json/project_records.h"
#include "zelor_export.h"

namespace Json {
class Value;
}
struct st_project;
struct st_structure;
struct stMatrixPallet;
struct stTeachPallet;

// Loads the settings, properties and project files under the project
// directory into plain records. One declaration serves libutils, brevan,
// libquillon and the plug-in; the data server reads the members directly, so
// their order must not change. Loaders never fail: a missing, broken or
// wrongly typed file or value leaves the default (or the earlier value).
class ZELOR_EXPORT JsonProjectReader {
 public:
  JsonProjectReader();
  ~JsonProjectReader();
  JsonProjectReader(const JsonProjectReader&) = delete;
  JsonProjectReader& operator=(const JsonProjectReader&) = delete;

  // Re-runs the construction's twenty loaders on this object.
  void loadAll();

  // True when value has no member key or it is null. Uses the non-const
  // member access, so an absent member of an object becomes null.
  bool isEmptyItem(Json::Value* value, const char* key);

  // Property limits and structure.
  void st_ratiodefault_load();
  void st_default_load();
  st_structure* RegexStructureParams();

  // Teach and playback settings, frames.
  void st_common_load();
  void st_types_load();
  void st_teach_load();
  void st_playback_load();
  void st_coord_load();
  void st_temp_load();
  void st_inch_load();
  void st_load_latchPos();
  void st_temp_coord_save(int user, int tool);

  // Function settings.
  void st_driver_load(int index);
  void st_ioctrl_load();
  void st_modbusctrl_load();
  void st_modbusIO_load();
  void st_mulRobot_load();
  void st_fanCtrl_load();
  void st_extEstop_load();
  void st_extAxis_load();
  void st_lynload_load();
  int get_remotectrl_conf(std::string& name, std::string& mode);
  int st_advanced_function_load(st_advanced_function& params);
  int loadModbusConf(stModbusConf& conf);
  int loadStopConf(stStopConf& conf);
  int loadMaxEStopAccConf(double* acc, double* jerk);
  int GetDragSenseAdjust(DragSenseAdjust& adjust);

  // Dynamics, collision and load.
  void st_collision_load();
  void st_setloadparams_load();
  void st_dynamicparams6_load();
  int st_dynamics_load(st_dynamicParams& params);
  // Thresholds of joints 1..4 for the collision level in force; level 0
  // switches collision detection off and keeps the previous thresholds.
  tagTorDiffParams* GetTorDiffParams();

  // Projects and point files. Names from outside are one path segment (a
  // project) or "<project>/<file>"; anything else is refused.
  bool RegexProjectFile(const char* name, st_project** out);
  bool JsonToLua(const char* relPath);
  int GetAllTeachPoint(const char* path, HMIPoint* points);
  void UpdateLuaJson(const char* path, HMIPoint* points);

  // Remote-control selection, point scripts, tracking and pallets.
  int set_remotectrl_conf(std::string name, std::string mode);
  int DeleteLua(const char* name);
  int ReadJsonArray(const char* path, Json::Value& out);
  int getAutoTraceConfig(int index, Conveyor& conveyor);
  int GetMatrixPalletInfo(int index, stMatrixPallet* pallet, const char* path);
  int GetTeachPalletInfo(int index, stTeachPallet* pallet, const char* path);

  // Records sent to the motion kernel as they are.
  int paramsSpeedFactor() const;           // common ratio as a whole number
  tagPTPJointParams* paramsPTPJoint();     // playback joints 1..4
  tagPTPCoordinateParams* paramsPTPCoordinate();  // playback [0] xyz, [1] r
  tagPTPCommonParams* paramsPTPCommon_ratiodefault() {
    ptpCommonDefault = {ratioDefault.joint_vel.def,  ratioDefault.joint_acc.def,
                        ratioDefault.joint_jerk.def, ratioDefault.coord_vel.def,
                        ratioDefault.coord_vel.def,  ratioDefault.coord_acc.def,
                        ratioDefault.coord_acc.def,  ratioDefault.coord_jerk.def,
                        ratioDefault.coord_jerk.def};
    return &ptpCommonDefault;
  }

  // Members, in the order the data server relies on.
  st_ratiodefault ratioDefault{};
  st_default limits{};
  st_common common{};
  int motoTypes = 0;
  st_teach teach{};
  st_driver driver{};
  st_modbusIO modbusIO{};
  st_modbusctrl modbusCtrl{};
  st_ioctrl ioctrl{};
  st_playback playback{};
  st_arch arch[kArchCount]{};
  st_coord toolCoord[kFrameCount]{};
  st_coord userCoord[kFrameCount]{};
  st_temp temp{};
  std::unique_ptr<st_project> project;
  std::unique_ptr<st_structure> structure;
  st_lynload lynload[kPointLoadCount]{};
  st_fanCtrl fanCtrl{};
  st_mulRobot mulRobot{};
  st_extEstop extEstop{};
  st_extAxis extAxis{};
  bool pointLoadEnabled = false;
  st_inch inch{};
  st_PoseTemplate_t latchPos{};
  st_collisionStop collisionStop{};

  // Working records behind the accessors above.
  tagTorDiffParams torDiffSelection{};
  tagPTPJointParams ptpJoint{};
  tagPTPCoordinateParams ptpCoordinate{};
  tagPTPCommonParams ptpCommonDefault{};
};
