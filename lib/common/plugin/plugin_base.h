#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

#include "common/plugin/command_table.h"
#include "common/plugin/packet_pool.h"
#include "common/protocol/command_records.h"
#include "common/protocol/packet.h"

class ModbusClient;

// Base of every command client of the motion kernel. Each builder takes a
// pooled packet, fills id, control byte and parameters, and hands it to the
// client's transport (processTranslate). It returns the packet holding the
// reply, which the caller gives back with freePluginPacket, or null when the
// transport failed (the packet is then back in the pool) or the arguments were
// refused (no packet was taken).
//
// The order of the virtual operations is part of the client interface: keep
// new operations out of the middle.
class PluginBase {
 public:
  enum PluginType : int {
    PLUGIN_NONE = 0,
    PLUGIN_LUA = 1,
  };

  PluginBase() = default;
  virtual ~PluginBase() = default;
  PluginBase(const PluginBase&) = delete;
  PluginBase& operator=(const PluginBase&) = delete;

  virtual int init(PluginType type);
  virtual void release();
  // Blocks until the kernel's command queue has room for `need` commands.
  virtual void checkQueueBuffer(bool queued, int need);
  // Sends the packet and puts the reply in its place; 0 on failure. The base
  // only frames the packet.
  virtual int processTranslate(Packet* packet);

  virtual Packet* alloc_GetQueuedCmdCurrentIndex();
  virtual Packet* alloc_SetQueuedCmdStartExec();
  virtual Packet* alloc_SetQueuedCmdStopExec();
  virtual Packet* alloc_SetQueuedCmdForceStopExec(bool force);
  virtual Packet* alloc_SetQueuedCmdHardStopExec();
  virtual Packet* alloc_SetQueuedCmdClear();
  virtual Packet* alloc_SetQueuedCmdStopClear();
  virtual Packet* alloc_GetQueuedCmdLeftSpace();
  virtual Packet* alloc_SetDeviceSN(const char* sn);
  virtual Packet* alloc_GetDeviceSN();
  virtual Packet* alloc_SetDeviceName(const char* name);
  virtual Packet* alloc_GetDeviceName();
  virtual Packet* alloc_GetDeviceVersion();
  virtual Packet* alloc_SetDeviceWithL(int withL);
  virtual Packet* alloc_GetDeviceWithL();
  virtual Packet* alloc_GetDeviceTime();
  virtual Packet* alloc_ResetPose(char manual, float rearArmAngle, float frontArmAngle);
  virtual Packet* alloc_GetPose(tagGetPoseInput input);
  virtual Packet* alloc_GetKinematics();
  virtual Packet* alloc_SetConveyorParams(const Conveyor* conveyor, bool isQueued);
  virtual Packet* alloc_GetCnvObject(const stConveyorObj* request, bool isQueued);
  virtual Packet* alloc_SetCnvPointOffset(const stConvPointOffset* offset, bool isQueued);
  virtual Packet* alloc_SetCnvTimeInterval(const unsigned short* interval, bool isQueued);
  virtual Packet* alloc_syncCnv(const unsigned char* conveyor, bool isQueued);
  virtual Packet* alloc_stopsyncCnv(bool isQueued);
  virtual Packet* alloc_SetCnvTracePoint(std::string text, bool isQueued);
  virtual Packet* alloc_GetEncoderValue(const unsigned char* channel, bool isQueued);
  virtual Packet* alloc_GetAlarmsState();
  virtual Packet* alloc_ClearAllAlarmsState();
  virtual Packet* alloc_EcpSwitch(const unsigned char* on, bool isQueued);
  virtual Packet* alloc_EcpSet(const tagCoordParams* frame, bool isQueued);
  virtual Packet* alloc_SetHOMEParams(const tagHOMEParams* params, int isQueued);
  virtual Packet* alloc_GetHOMEParams();
  virtual Packet* alloc_SetHOMECmd(const unsigned char* mode, int isQueued);
  virtual Packet* alloc_SetHHTTrigMode(char mode);
  virtual Packet* alloc_GetHHTTrigMode();
  virtual Packet* alloc_SetHHTTrigOutputEnabled(char isEnabled);
  virtual Packet* alloc_GetHHTTrigOutputEnabled();
  virtual Packet* alloc_GetHHTTrigOutput();
  virtual Packet* alloc_SetControlType(char type);
  virtual Packet* alloc_SetDragTeachEnabled(char enabled);
  virtual Packet* alloc_GetDragTeachEnabled();
  virtual Packet* alloc_SetArmOrientation(char orientation, int isQueued);
  virtual Packet* alloc_GetArmOrientation();
  virtual Packet* alloc_SetTransitionCmd(unsigned char transition, bool isQueued);
  virtual Packet* alloc_GetTransitionCmd();
  virtual Packet* alloc_SetSpeedFactorParams(unsigned char ratio, bool isQueued);
  virtual Packet* alloc_GetSpeedFactorParams();
  virtual Packet* alloc_SetManualSpeedParams(unsigned char ratio, bool isQueued);
  virtual Packet* alloc_GetManualSpeedParams();
  virtual Packet* alloc_SetEndEffectorParams(const tagEndEffectorParams* params, int isQueued);
  virtual Packet* alloc_GetEndEffectorParams();
  virtual Packet* alloc_SetEndEffectorLaser(char enable, char on, int isQueued);
  virtual Packet* alloc_GetEndEffectorLaser();
  virtual Packet* alloc_SetEndEffectorSuctionCup(char enable, char suck, int isQueued);
  virtual Packet* alloc_GetEndEffectorSuctionCup();
  virtual Packet* alloc_SetEndEffectorGripper(char enable, char grip, int isQueued);
  virtual Packet* alloc_GetEndEffectorGripper();
  virtual Packet* alloc_SetJOGJointParams(const tagJOGJointParams* params, int isQueued);
  virtual Packet* alloc_GetJOGJointParams();
  virtual Packet* alloc_SetJOGCoordinateParams(const tagJOGCoordinateParams* params, int isQueued);
  virtual Packet* alloc_GetJOGCoordinateParams();
  virtual Packet* alloc_SetJOGCommonParams(const tagJOGCommonParams* params, int isQueued);
  virtual Packet* alloc_GetJOGCommonParams();
  virtual Packet* alloc_SetJOGLParams(const tagJOGLParams* params, bool isQueued);
  virtual Packet* alloc_GetJOGLParams();
  virtual Packet* alloc_SetJOGCmd(const tagJOGCmd* jog, int isQueued);
  virtual Packet* alloc_SetINCHParams(const tagINCHParams* params, bool isQueued);
  virtual Packet* alloc_SetPTPJointParams(const tagPTPJointParams* params, int isQueued);
  virtual Packet* alloc_GetPTPJointParams();
  virtual Packet* alloc_SetPTPCoordinateParams(const tagPTPCoordinateParams* params, int isQueued);
  virtual Packet* alloc_GetPTPCoordinateParams();
  virtual Packet* alloc_SetPTPJumpParams(const tagPTPJumpParams* params, int isQueued);
  virtual Packet* alloc_GetPTPJumpParams();
  virtual Packet* alloc_SetPTPJump2Params(const tagPTPJump2Params* params, bool isQueued);
  virtual Packet* alloc_GetPTPJump2Params();
  virtual Packet* alloc_SetPTPCommonParams(const tagPTPCommonParams* params, int isQueued);
  virtual Packet* alloc_GetPTPCommonParams();
  virtual Packet* alloc_SetPTPLParams(const tagPTPLParams* params, bool isQueued);
  virtual Packet* alloc_GetPTPLParams();
  virtual Packet* alloc_SetPTPCmd(const tagPTPCmd* move, int isQueued);
  virtual Packet* alloc_SetPTPWithLCmd(const tagPTPWithLCmd* move, bool isQueued);
  virtual Packet* alloc_SetPTPPOCmd(const tagPTPCmd* move, const tagParallelOutputCmd* outputs, int count,
                                    bool isQueued);
  virtual Packet* alloc_SetPTPPOWithLCmd(const tagPTPWithLCmd* move, const tagParallelOutputCmd* outputs,
                                         int count, bool isQueued);
  virtual Packet* alloc_SetCPParams(const tagCPParams* params, int isQueued);
  virtual Packet* alloc_GetCPParams();
  virtual Packet* alloc_SetCPCmd(const tagCPCmd* move, int isQueued);
  virtual Packet* alloc_SetCPLECmd(const tagCPCmd* move, int isQueued);
  virtual Packet* alloc_SetARCParams(const tagARCParams* params, int isQueued);
  virtual Packet* alloc_GetARCParams();
  virtual Packet* alloc_SetARCCmd(const tagARCCmd* move, int isQueued);
  virtual Packet* alloc_SetCircleCmd(const tagCircleCmd* move, int isQueued);
  virtual Packet* alloc_SetExicitCmd(const tagExcitCmd* excitation, bool isQueued);
  virtual Packet* alloc_SetExicitZCmd(const tagExcitCmdZ* excitation, bool isQueued);
  virtual Packet* alloc_SetWAITCmd(const tagWAITCmd* wait, int isQueued);
  virtual Packet* alloc_SetTRIGCmd(const tagTRIGCmd* trigger, int isQueued);
  virtual Packet* alloc_SetIOMultiplexing(const tagIOMultiplexing* multiplexing, int isQueued);
  virtual Packet* alloc_GetIOMultiplexing(const tagIOMultiplexing* multiplexing);
  virtual Packet* alloc_SetIODO(const tagIO_DO* output, int isQueued);
  virtual Packet* alloc_GetIODO(const tagIO_DO* output);
  virtual Packet* alloc_SetMulIODO(const Group_IO_DO* outputs, int isQueued);
  virtual Packet* alloc_GetMulIODO(const Group_IO_DI* inputs, int isQueued);
  virtual Packet* alloc_SetIODAC(const tagIODAC* output, int isQueued);
  virtual Packet* alloc_GetIODAC(const tagIODAC* output);
  virtual Packet* alloc_GetIODI(const tagIO_DI* input);
  virtual Packet* alloc_SetEMotor(const tagEMotor* motor, int isQueued);
  virtual Packet* alloc_GetIOADC(const tagIOADC* input);
  virtual Packet* alloc_SetIODOEx(const tagIODOEx* outputs, int isQueued);
  virtual Packet* alloc_GetIODOEx(const tagIODOEx* outputs);
  virtual Packet* alloc_GetIODIEx(const tagIODIEx* inputs);
  virtual Packet* alloc_GetIOADCEx(const tagIOADCEx* inputs);
  virtual Packet* alloc_SetIODACEx(const tagIODACEx* outputs, int isQueued);
  virtual Packet* alloc_GetIODACEx(const tagIODACEx* outputs);
  virtual Packet* alloc_GetUserParams();
  virtual Packet* alloc_SetUserCoordParams(const tagCoordParamsFull* frame, bool isQueued);
  virtual Packet* alloc_SetToolCoordParams(const tagCoordParamsFull* frame, bool isQueued);
  virtual Packet* alloc_GetUserCoordParams();
  virtual Packet* alloc_GetToolCoordParams();
  virtual Packet* alloc_SetAngleSensorStaticError(char rearArm, char frontArm);
  virtual Packet* alloc_GetAngleSensorStaticError();
  virtual Packet* alloc_SetAngleSensorCoef(float coef, char arm);
  virtual Packet* alloc_GetAngleSensorCoef();
  virtual Packet* alloc_SetBaseDecoderStaticError(float error);
  virtual Packet* alloc_GetBaseDecoderStaticError();
  virtual Packet* alloc_SetLRHandCalibrateValue(float value);
  virtual Packet* alloc_GetLRHandCalibrateValue();
  // Modbus coil access through a client; -1 for a null buffer, else the
  // client's result.
  virtual int pluginbase_setCoils(ModbusClient& client, int address, int count, unsigned char* buffer);
  virtual int pluginbase_getCoils(ModbusClient& client, int address, int count, unsigned char* buffer);
  virtual int pluginbase_getInCoils(ModbusClient& client, int address, int count, unsigned char* buffer);
  virtual Packet* alloc_loadSet(const _stLoadParams* load, bool isQueued);
  virtual Packet* alloc_loadSwitch(unsigned char on, bool isQueued);
  virtual Packet* alloc_ExcitSetMode(unsigned char mode, bool isQueued);
  virtual Packet* alloc_GetJointAngle();
  virtual Packet* alloc_GetCmdAllDone();
  virtual Packet* alloc_GetStopStatus();
  virtual Packet* alloc_SetDynLoadParams(const _stLoadFullParams* load, bool isQueued);
  virtual Packet* alloc_GetLatchPose();
  virtual Packet* alloc_latchEnable(unsigned char enable, bool isQueued);
  virtual Packet* alloc_SetLatch(unsigned char type, bool isQueued);
  virtual Packet* alloc_SetLatchTemplate(const st_PoseTemplate_t* pose, bool isQueued);
  virtual Packet* alloc_SetTorDiffParams(const tagTorDiffParams* thresholds, bool isQueued);
  virtual Packet* alloc_GetPointForwardCal(const KinematicsPose* pose);
  virtual Packet* alloc_GetPointInverseCal(const KinematicsPose* pose);
  virtual Packet* alloc_SetSafeGuard(bool stop);
  virtual Packet* alloc_SetExterAxisCmd(stTramletCmd command, unsigned char isQueued);
  virtual Packet* alloc_GetExterAxisCmd(stTramletCmd command, unsigned char isQueued);
  virtual Packet* alloc_setUserMatrixCalcParams(const CorrectParams_t* params, bool isQueued);
  virtual Packet* alloc_SetCollisionLevel(int level, bool isQueued);
  virtual Packet* alloc_TCPIPRawCmdHandler(const char* text);

  Packet* allocPluginPacket();
  void freePluginPacket(Packet* packet);
  void clearPluginPacket();

  PluginType pluginType() const { return m_pluginType; }

 protected:
  struct ParamBytes {
    const void* data;
    std::size_t size;
  };

  // The common shape of a builder: wait hook, packet, header, parameters
  // (copied in order from byte 7), transport.
  Packet* send(const CommandSpec& spec, int isQueued, std::initializer_list<ParamBytes> params);
  Packet* send(const CommandSpec& spec) { return send(spec, 0, {}); }

  // A builder whose parameters are one record; a null record is refused.
  template <typename Record>
  Packet* sendRecord(const CommandSpec& spec, int isQueued, const Record* record, const char* builder) {
    if (record == nullptr) return refuseNull(builder);
    return send(spec, isQueued, {{record, sizeof(Record)}});
  }

  template <typename Value>
  Packet* sendValue(const CommandSpec& spec, int isQueued, const Value& value) {
    return send(spec, isQueued, {{&value, sizeof(Value)}});
  }

  Packet* refuseNull(const char* builder);

  // A text and its NUL; refused when they do not fit the kernel's buffer.
  Packet* sendTextWithNul(const CommandSpec& spec, int isQueued, const char* text, std::size_t length,
                          const char* builder);

  // A move record, a count byte and the parallel outputs behind it.
  template <typename Move>
  Packet* sendWithOutputs(const CommandSpec& spec, int isQueued, const Move* move,
                          const tagParallelOutputCmd* outputs, int count, const char* builder);

 private:
  PluginType m_pluginType = PLUGIN_NONE;
  PacketPool m_pool;
};
