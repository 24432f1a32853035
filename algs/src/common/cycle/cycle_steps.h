#pragma once

#include "common/protocol/axes_group_ref.h"

// The steps of one control cycle after the profile stage, in the order
// RunSCARA calls them. Each works on the host's record `g`.

// Conveyor objects: queued objects handed to the multi-robot bus, and the
// next object of conveyor 0 read back from it.
void UpdateTrack();
void RefillNextConveyorObject();

// Drive supervision: group errors, safety inputs, operational flags.
void CheckGroupErrors(const AxesGroupRef& g);
void CheckSafetyInputs();
void CheckOperational(AxesGroupRef& g);
// Fault recovery while gDriverAlarmFlag is set; false when no fault is latched.
bool RecoverDriveFaults(AxesGroupRef& g);
void CheckDriveFaults(const AxesGroupRef& g);

void HandleEnable(AxesGroupRef& g);
void HandleHoming(AxesGroupRef& g);

void HandleEncoderReset(AxesGroupRef& g);
void UpdateEncoderChannels(const AxesGroupRef& g);

void HandleLatch(AxesGroupRef& g);
void WriteSetValues(AxesGroupRef& g);
void ServoModeSwitch(AxesGroupRef& g);
void EnableCompensation(AxesGroupRef& g);

// Helpers shared by the steps.
inline bool DriveEnabled(const AxesGroupJoint& joint) { return joint.m_State > 2; }
inline bool DriveFault(const AxesGroupJoint& joint) { return joint.m_State == 1; }
bool AllDrivesEnabled(const AxesGroupRef& g);
bool NoDriveEnabled(const AxesGroupRef& g);
