#pragma once
// Packet bodies, request listings and frame files for tests against the
// data-server peer.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "data_server_peer/data_server_peer.h"
#include "install_paths.h"

namespace zelor::test {

using Bytes = std::vector<std::uint8_t>;

template <typename T>
Bytes bytesOf(const T& value) {
  Bytes bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

inline Bytes floats(std::initializer_list<float> values) {
  Bytes bytes;
  for (float v : values) {
    const Bytes one = bytesOf(v);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  return bytes;
}

inline Bytes concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Nine ratios the peer reports as the kernel's, all distinct.
inline const Bytes kKernelRatios = floats({11, 12, 13, 14, 15, 16, 17, 18, 19});

// " [id 83 ctrl 0 len 36] ..." for assertion messages.
inline std::string describe(const std::vector<zelor::sim::PeerRequest>& requests) {
  std::string text;
  for (const zelor::sim::PeerRequest& r : requests) {
    text += " [id " + std::to_string(r.id) + " ctrl " + std::to_string(r.ctrl) + " len " +
            std::to_string(r.length) + "]";
  }
  return text.empty() ? " none" : text;
}

// A frame table file of the project: entry 0 and `index` enabled, `params`
// at `index`, zeros elsewhere.
inline void writeFrames(const char* file, int index, std::initializer_list<double> params) {
  const std::filesystem::path dir = std::filesystem::path(zelor::paths::kProjectDir) / "settings/coordinate";
  std::filesystem::create_directories(dir);
  std::ofstream out(dir / file, std::ios::trunc);
  out << "[";
  for (int i = 0; i < 10; ++i) {
    out << (i ? "," : "") << "{\"enable\":" << (i == 0 || i == index ? "true" : "false") << ",\"params\":[";
    int n = 0;
    for (double v : params) out << (n++ ? "," : "") << (i == index ? v : 0.0);
    out << "]}";
  }
  out << "]";
}

}  // namespace zelor::test
