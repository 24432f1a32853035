#pragma once

#include <gtest/gtest.h>

#include "common/kernel/sys_params.h"
#include "json/parameter_globals.h"

// ZZ1 0.5, FS1 1, FV1 2, ZZ2 0.1, MX2 0.3, MY2 0.05, IA2 0.02, FS2 0.5,
// FV2 1, ZZ3 4, M3 3, FS3 10, FV3 20; payload 2 kg.
inline void UseTestArmModel() {
  st_basicdynamicparams6& P = m_st_basicdynamicparams6;
  P = {};
  P.ZZ1 = 0.5f;
  P.FS1 = 1.0f;
  P.FV1 = 2.0f;
  P.ZZ2 = 0.1f;
  P.MX2 = 0.3f;
  P.MY2 = 0.05f;
  P.IA2 = 0.02f;
  P.FS2 = 0.5f;
  P.FV2 = 1.0f;
  P.ZZ3 = 4.0f;
  P.M3 = 3.0f;
  P.FS3 = 10.0f;
  P.FV3 = 20.0f;
  m_st_loadParams = {};
  m_st_loadParams.loadValue = 2.0f;
}

// The dynamics and load settings the single-precision model reads, set to a
// known arm and put back afterwards; the drag-sensitivity percentages at 50.
class IdmFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    savedParams_ = m_st_basicdynamicparams6;
    savedLoad_ = m_st_loadParams;
    for (int i = 0; i < 4; ++i) savedAdjust_[i] = gSysParams.adjust[i];
    UseTestArmModel();
    for (int i = 0; i < 3; ++i) gSysParams.adjust[i] = 50;
  }
  void TearDown() override {
    m_st_basicdynamicparams6 = savedParams_;
    m_st_loadParams = savedLoad_;
    for (int i = 0; i < 4; ++i) gSysParams.adjust[i] = savedAdjust_[i];
  }

 private:
  st_basicdynamicparams6 savedParams_{};
  st_loadParams savedLoad_{};
  int savedAdjust_[4] = {};
};
