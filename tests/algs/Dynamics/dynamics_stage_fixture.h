#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "idm_fixture.h"
#include "support/core_standin.h"
#include "support/dynamics_drive.h"

// The dynamics stage on the known arm model, its log callback caught.
class DynamicsStage : public IdmFixture {
 protected:
  void SetUp() override {
    IdmFixture::SetUp();
    saved_ = std::make_unique<zelor::test::DynamicsStageState>();
    zelor::test::SettleDynamicsStage();
    core.logs.clear();
  }
  void TearDown() override {
    saved_.reset();
    IdmFixture::TearDown();
  }

  int logCount(const std::string& line) const {
    int n = 0;
    for (const std::string& l : core.logs) n += l == line ? 1 : 0;
    return n;
  }

  zelor::test::CoreStandIn core;

 private:
  std::unique_ptr<zelor::test::DynamicsStageState> saved_;
};
