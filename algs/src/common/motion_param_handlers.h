#pragma once

// Reads and writes of the motion parameters held in the system parameters:
// jog and inch settings, the point-to-point block, the global speed ratio,
// arm orientation, transition and control type. A read replies the stored
// record; a write replies length 0. Writes whose floats are not all finite,
// or whose request is shorter than the record, change nothing.

#include <cstdint>

struct tagSysParams;

std::uint32_t OnControlType(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                            bool isQueued);
std::uint32_t OnArmOrientation(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                               bool isQueued);
std::uint32_t OnTransition(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                           bool isQueued);
std::uint32_t OnSpeedFactorParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params,
                                  std::uint32_t& len, bool isQueued);
std::uint32_t OnManualSpeedParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params,
                                  std::uint32_t& len, bool isQueued);
std::uint32_t OnJOGJointParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                               bool isQueued);
std::uint32_t OnJOGCoordinateParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params,
                                    std::uint32_t& len, bool isQueued);
std::uint32_t OnJOGCommonParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                                bool isQueued);
std::uint32_t OnINCHParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                           bool isQueued);
std::uint32_t OnPTPJointParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                               bool isQueued);
std::uint32_t OnPTPCoordinateParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params,
                                    std::uint32_t& len, bool isQueued);
std::uint32_t OnPTPJumpParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                              bool isQueued);
std::uint32_t OnPTPJump2Params(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                               bool isQueued);
std::uint32_t OnPTPCommonParams(tagSysParams* sysParams, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len,
                                bool isQueued);
