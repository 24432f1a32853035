#pragma once

// Helpers of the settings reader's system tests: the project tree under the
// test's private /zelor, and the reader's output captured from stdout and the
// line log.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "install_paths.h"
#include "json/json_project_reader.h"
#include "log/line_log.h"

namespace zelor::test {

namespace fs = std::filesystem;

inline std::string projectFile(const std::string& relative) {
  return std::string(paths::kProjectDir) + "/" + relative;
}

inline void writeFile(const std::string& relative, const std::string& text) {
  const fs::path path = projectFile(relative);
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void removeFile(const std::string& relative) { fs::remove(projectFile(relative)); }

// Removes every file of the project tree (the folders stay unless asked).
inline void emptyProjectTree(bool keepFolders = false) {
  for (const auto& entry : fs::directory_iterator(paths::kProjectDir)) {
    if (keepFolders && entry.is_directory()) {
      for (const auto& inner : fs::recursive_directory_iterator(entry.path())) {
        if (inner.is_regular_file()) fs::remove(inner.path());
      }
    } else {
      fs::remove_all(entry.path());
    }
  }
}

// Everything the reader prints or line-logs from construction until the
// first look at the text. The look ends the capture, so that test failures
// reach the real stdout; resume() captures again.
class OutputCapture {
 public:
  OutputCapture() {
    path_ = "/tmp/reader-output-XXXXXX";
    fd_ = mkstemp(path_.data());
    resume();
  }
  ~OutputCapture() {
    pause();
    close(fd_);
    unlink(path_.c_str());
  }
  OutputCapture(const OutputCapture&) = delete;
  OutputCapture& operator=(const OutputCapture&) = delete;

  void resume() {
    if (savedStdout_ >= 0) return;
    std::fflush(stdout);
    savedStdout_ = dup(STDOUT_FILENO);
    dup2(fd_, STDOUT_FILENO);
    zelor::log::setLineLogTarget(fd_, zelor::log::kLineLogDescriptorMode);
  }

  std::string text() {
    pause();
    return readFile(path_);
  }

  size_t count(const std::string& needle) {
    const std::string all = text();
    size_t n = 0;
    for (size_t pos = all.find(needle); pos != std::string::npos; pos = all.find(needle, pos + 1)) ++n;
    return n;
  }

 private:
  void pause() {
    if (savedStdout_ < 0) return;
    std::fflush(stdout);
    dup2(savedStdout_, STDOUT_FILENO);
    close(savedStdout_);
    savedStdout_ = -1;
    zelor::log::setLineLogTarget(-1, 0);
  }

  std::string path_;
  int fd_ = -1;
  int savedStdout_ = -1;
};

inline void dumpFloats(std::ostringstream& out, const char* name, const float* v, int n) {
  out << name << ':';
  for (int i = 0; i < n; ++i) out << ' ' << std::hexfloat << v[i];
  out << '\n';
}

inline void dumpTriples(std::ostringstream& out, const char* name, const st_triple* t, int n) {
  out << name << ':';
  for (int i = 0; i < n; ++i) out << " {" << std::hexfloat << t[i].max << ',' << t[i].min << ',' << t[i].def << '}';
  out << '\n';
}

// Every member record of a reader as text, for comparing two readers.
inline std::string describe(const JsonProjectReader& r) {
  std::ostringstream out;
  dumpTriples(out, "ratioDefault", &r.ratioDefault.joint_vel, 9);
  dumpTriples(out, "limits", &r.limits.commonRatio, sizeof(st_default) / sizeof(st_triple));
  dumpFloats(out, "common", &r.common.ratio, 1);
  out << "motoTypes: " << r.motoTypes << '\n';
  dumpFloats(out, "teach", r.teach.jointVelocity, sizeof(st_teach) / sizeof(float));
  dumpFloats(out, "driver", r.driver.velocityP, sizeof(st_driver) / sizeof(float));
  out << "modbusIO: " << r.modbusIO.deviceCount;
  for (int i = 0; i < kModbusDeviceCount; ++i) out << ' ' << r.modbusIO.diNumber[i] << '/' << r.modbusIO.doNumber[i];
  out << "\nmodbusCtrl: " << r.modbusCtrl.optionProject;
  for (const auto& p : r.modbusCtrl.projects) out << " [" << p.name << ',' << p.valid << ']';
  out << "\nioctrl:";
  for (int pin : r.ioctrl.inPins) out << ' ' << pin;
  for (int pin : r.ioctrl.outPins) out << ' ' << pin;
  out << '\n';
  dumpFloats(out, "playback", r.playback.jointVelocity, sizeof(st_playback) / sizeof(float));
  for (const auto& a : r.arch) {
    out << "arch " << a.enable;
    dumpFloats(out, "", &a.startHeight, 3);
  }
  for (const auto& f : r.toolCoord) {
    out << "tool " << f.enable;
    dumpFloats(out, "", f.params, 6);
  }
  for (const auto& f : r.userCoord) {
    out << "user " << f.enable;
    dumpFloats(out, "", f.params, 6);
  }
  out << "temp: " << r.temp.user << ' ' << r.temp.tool << '\n';
  for (const auto& l : r.lynload) {
    out << "lynload " << l.enable;
    dumpFloats(out, "", l.params, 2);
  }
  out << "fan: " << r.fanCtrl.mode << ' ' << r.fanCtrl.openThreshold << ' ' << r.fanCtrl.closeThreshold << ' '
      << r.fanCtrl.alarmThreshold << ' ' << r.fanCtrl.minimumRunTime << '\n';
  out << "mulRobot: " << r.mulRobot.robotId << ' ' << r.mulRobot.robotInLine << ' ' << r.mulRobot.masterAddr << '\n';
  out << "extEstop: " << r.extEstop.userStop1 << ' ' << r.extEstop.safeStop1 << ' ' << r.extEstop.userStop2 << ' '
      << r.extEstop.safeStop2 << '\n';
  out << "extAxis: " << r.extAxis.auxJoint << r.extAxis.reserved1 << r.extAxis.reserved2 << r.extAxis.addPoints
      << r.extAxis.reserved3 << r.extAxis.reserved4 << '\n';
  out << "pointLoad: " << r.pointLoadEnabled << '\n';
  dumpFloats(out, "inch", &r.inch.distance, 2);
  dumpFloats(out, "latch", &r.latchPos.x, 8);
  out << "collisionStop: " << r.collisionStop.resumeType << ' ' << r.collisionStop.stopType << '\n';
  return out.str();
}

}  // namespace zelor::test
