#include "service/identify_service.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "common/transport/segment.h"
#include "install_paths.h"

namespace zelor::modules::service {

namespace {

namespace fs = std::filesystem;

constexpr unsigned kWriteArea = 1024;
constexpr std::size_t kChannelBufferSize = 17408;

// The service's own handle on segment 12, opened with the service.
zelor::common::transport::Segment& identifySegment() {
  static zelor::common::transport::Segment _segment(12);
  return _segment;
}

}  // namespace

int IdentifyWrite(unsigned char channel, const void* data, unsigned length) {
  if (length > kWriteArea) {
    std::printf("[IdentifyWrite] %u bytes do not fit the %u-byte area\n", length, kWriteArea);
    return 0;
  }
  unsigned char area[kWriteArea] = {};
  std::memcpy(area, data, length);
  if (identifySegment().Write(channel, area, static_cast<unsigned short>(length)) != 1) return 0;
  return static_cast<int>(length);
}

int IdentifyRead(unsigned char channel, void* buffer) { return identifySegment().Read(channel, buffer); }

int moveIdentificationFiles(const std::string& sourceDir, const std::string& prefix, const std::string& destDir) {
  std::error_code ec;
  std::vector<fs::path> sources;
  for (fs::directory_iterator it(sourceDir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    std::error_code typeError;
    if (fs::is_regular_file(it->path(), typeError)) sources.push_back(it->path());
  }
  std::sort(sources.begin(), sources.end());
  int moved = 0;
  for (const fs::path& source : sources) {
    const fs::path target = fs::path(destDir) / source.filename();
    std::error_code copyError;
    fs::copy_file(source, target, fs::copy_options::overwrite_existing, copyError);
    if (copyError) {
      std::printf("[AutoIdentifyThread] copy %s to %s failed: %s; kept\n", source.c_str(), target.c_str(),
                  copyError.message().c_str());
      continue;
    }
    std::error_code removeError;
    fs::remove(source, removeError);
    if (removeError) {
      std::printf("[AutoIdentifyThread] can not remove %s: %s\n", source.c_str(), removeError.message().c_str());
    }
    ++moved;
  }
  return moved;
}

void AutoIdentifyThread() {
  std::vector<unsigned char> buffer(std::max<std::size_t>(identifySegment().Conf().GetBlockBufSize(),
                                                          kChannelBufferSize));
  while (true) {
    if (IdentifyRead(kIdentifyRequestChannel, buffer.data()) > 0) {
      std::puts("===================  start Identify cp  ===========================");
      moveIdentificationFiles("/tmp", "identify", std::string(zelor::paths::kProjectDir) + "/process/identify/");
      const unsigned char done = 1;
      IdentifyWrite(kIdentifyDoneChannel, &done, 1);
      std::puts("===================  Auto Identify is over ===========================");
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
}

void StartAutoIdentifyServer() { std::thread(AutoIdentifyThread).detach(); }

}  // namespace zelor::modules::service
