#include "robot_states/robot_states.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/protocol/axes_group_ref.h"
#include "common/protocol/plc_status_record.h"
#include "install_paths.h"
#include "json/json_project_reader.h"

namespace {

bool validIndex(int index) { return index >= 0 && index < RobotStates::kImageSize; }

}  // namespace

RobotStates& RobotStates::Instance() {
  // Never destroyed: threads that outlive static destruction may read it.
  static RobotStates* states = new RobotStates();
  return *states;
}

RobotStates::RobotStates() = default;

void RobotStates::Init() {
  alarmCode_ = 0;
  std::memset(in_, 0, sizeof in_);
  std::memset(out_, 0, sizeof out_);
  std::memset(simMode_, 0, sizeof simMode_);
  std::memset(simValue_, 0, sizeof simValue_);
  enableStatus_ = 0;
  runStatus_ = 0;
  errorStatus_ = 0;
  pcMode_ = 0;
  autoMode_ = 0;
  flagFileCount_ = 0;
  std::memset(eStopAcc_, 0, sizeof eStopAcc_);
  std::memset(eStopJerk_, 0, sizeof eStopJerk_);
  eStopApplied_ = 0;
  JsonProjectReader reader;
  eStopLoaded_ = reader.loadMaxEStopAccConf(eStopAcc_, eStopJerk_) != 0 ? 1 : 0;
}

int RobotStates::UpdateEStopAcc(AxesGroupRef* p) {
  if (p == nullptr) return 0;
  axesGroup_ = p;
  if (eStopLoaded_ == 0) return 0;
  for (int k = 0; k < 4; ++k) p->m_Joints[k].m_EStopDecel = eStopAcc_[k];
  eStopApplied_ = 1;
  return 1;
}

void RobotStates::GetInputIOStatus(const std::uint8_t* in) {
  if (in != nullptr) std::memcpy(in_, in, sizeof in_);
}

void RobotStates::GetOutputIOStatus(const std::uint8_t* out) {
  if (out != nullptr) std::memcpy(out_, out, sizeof out_);
}

void RobotStates::HandleSimulateIOInput(std::uint8_t* in) {
  if (in == nullptr) return;
  for (int i = 0; i < kImageSize; ++i) {
    if (simMode_[i] != 0) in[i] = simValue_[i];
  }
}

void RobotStates::SetIOInputSimulate(int index, std::uint8_t mode) {
  if (validIndex(index)) simMode_[index] = mode;
}

std::uint8_t RobotStates::GetIOInputMode(int index) const { return validIndex(index) ? simMode_[index] : 0; }

void RobotStates::SetSimulateIOInputStatus(int index, std::uint8_t value) {
  if (validIndex(index)) simValue_[index] = value;
}

void RobotStates::UpdateStatus(void* plcRecord) {
  if (plcRecord == nullptr) return;
  auto* record = static_cast<PlcStatusRecord*>(plcRecord);
  record->enableStatus = enableStatus_;
  record->errorStatus = errorStatus_;
  record->runStatus = runStatus_;
  if (flagFileCount_ <= 0) checkModeFiles(record->modeWord);
}

// Teach-pendant mode is announced by the TP-mode flag file, which this process
// creates once; PC mode leaves the files alone.
void RobotStates::checkModeFiles(std::int32_t mode) {
  if (mode == 1) {
    pcMode_ = 1;
    return;
  }
  if (mode != 0) return;
  pcMode_ = 0;
  const std::string pcFile = std::string(zelor::paths::kModeDir) + "/PCMode";
  const std::string tpFile = std::string(zelor::paths::kModeDir) + "/TPMode";
  if (access(pcFile.c_str(), F_OK) == 0) unlink(pcFile.c_str());
  if (access(tpFile.c_str(), F_OK) == 0) return;
  const int fd = open(tpFile.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0777);
  if (fd > 0) {
    ++flagFileCount_;
    close(fd);
  }
  std::printf("create TP_MODE_FLAG_FILE ,count: %u ...\n", static_cast<unsigned>(flagFileCount_));
}
