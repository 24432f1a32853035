#pragma once
// The recording kernel: a libvantrel with the motion library's C interface and
// data symbols that moves nothing. It records what the data server hands it
// and answers packets from a table a test sets, so tests can check exact
// packets. The PLC host loads it in data-server mode with
//   --vantrel <dir of the build>/sim/recording_kernel/libvantrel.so
// (or by putting that directory first on LD_LIBRARY_PATH).
//
// All files live in the directory named by $ZELOR_RECORDING_KERNEL_DIR
// (default /tmp/recording_kernel, created when missing):
//
//   log      written by the kernel, one line each, appended whole:
//              "init"         the first vantrel_init
//              "init_params"  the first vantrel_init_params
//              "run"          the first vantrel_run
//              "<id> <ctrl> <len> <hex>"  every packet taken in vantrel_run:
//                             command id and control byte in decimal, the
//                             number of parameter bytes, the parameters as
//                             lowercase hex ("-" when there are none); a
//                             withheld packet ends with " withheld"
//   block    the 712-byte block of the latest vantrel_init_params
//   control  written by the test (write a temporary file and rename it over);
//            read again whenever it changes, and the state it sets replaces
//            the state before. One setting a line, '#' starts a comment:
//              reply <id> <r|w> <hex>  the answer to a read (r) or write (w)
//                                      of <id>: these parameter bytes ("-":
//                                      none); without a line a packet is
//                                      echoed with its own parameters
//              withhold <id> <r|w>     such a packet is logged and never
//                                      answered: it stays in the core's
//                                      mailbox until the requester gives up
//                                      and is logged once meanwhile
//              latch <id>              a write of <id> also makes its
//                                      parameters the answer to reads of <id>
//                                      (until the control file changes)
//              alarms <hex>            the 32 alarm bytes vantrel_get_alarms
//                                      reports (missing bytes are 0)
//              stop <n>                the byte vantrel_get_stop_status reports
//              pose <8 floats>         what vantrel_get_pose reports: x, y,
//                                      z, r, then joints 1-4 (zeros without)
//              arm <n>                 the arm orientation
//                                      vantrel_get_armOrientation reports
//              stepin <n>              the byte vantrel_get_stepin_enable
//                                      reports
//              inputs <offset> <hex>   writes these bytes into the input
//                                      image (gPhyDIs) from offset on, once
//                                      when the line is read; the bytes stay
//                                      when the file changes (the host
//                                      rewrites bytes 0-63 every cycle)
//
// A malformed line is reported on standard error and ignored.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace zelor::sim::recording {

inline constexpr const char* kDirVariable = "ZELOR_RECORDING_KERNEL_DIR";
inline constexpr const char* kDefaultDir = "/tmp/recording_kernel";

inline std::string directory() {
  const char* dir = std::getenv(kDirVariable);
  return dir != nullptr && dir[0] != '\0' ? dir : kDefaultDir;
}
inline std::string logPath() { return directory() + "/log"; }
inline std::string blockPath() { return directory() + "/block"; }
inline std::string controlPath() { return directory() + "/control"; }

// One packet line of the log.
struct LoggedPacket {
  int id = 0;
  int ctrl = 0;
  std::vector<std::uint8_t> params;
  bool withheld = false;
};

// Parses a packet line; false for "init", "init_params", "run" or a bad line.
inline bool parsePacketLine(const std::string& line, LoggedPacket& out) {
  std::istringstream in(line);
  std::size_t len = 0;
  std::string hex;
  std::string mark;
  if (!(in >> out.id >> out.ctrl >> len >> hex)) return false;
  out.withheld = static_cast<bool>(in >> mark) && mark == "withheld";
  out.params.clear();
  if (hex == "-") return len == 0;
  if (hex.size() != 2 * len) return false;
  for (std::size_t i = 0; i < len; ++i) {
    out.params.push_back(static_cast<std::uint8_t>(std::strtoul(hex.substr(2 * i, 2).c_str(), nullptr, 16)));
  }
  return true;
}

inline std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The whole lines of the log written so far.
inline std::vector<std::string> logLines() {
  std::vector<std::string> lines;
  const std::string text = readText(logPath());
  std::size_t at = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', at)) {
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

// The logged packets of command `id` (every id when id is -1), in order.
inline std::vector<LoggedPacket> loggedPackets(int id = -1) {
  std::vector<LoggedPacket> packets;
  for (const std::string& line : logLines()) {
    LoggedPacket p;
    if (parsePacketLine(line, p) && (id < 0 || p.id == id)) packets.push_back(p);
  }
  return packets;
}

// Replaces the control file in one step.
inline bool writeControl(const std::string& text) {
  mkdir(directory().c_str(), 0777);
  const std::string path = controlPath();
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    if (!(out << text)) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

// Hex text of bytes, as the control file and the log write them.
inline std::string hex(const std::vector<std::uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  if (bytes.empty()) return "-";
  std::string text;
  for (std::uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

// Removes the kernel's files and the directory (when empty then).
inline void removeFiles() {
  for (const std::string& path : {logPath(), blockPath(), controlPath(), controlPath() + ".new"}) {
    unlink(path.c_str());
  }
  rmdir(directory().c_str());
}

}  // namespace zelor::sim::recording
