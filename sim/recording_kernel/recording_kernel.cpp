// The recording kernel's exports; its files and control settings are
// described in recording_kernel.h.
#include "recording_kernel/recording_kernel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "common/cycle/vantrel_cycle.h"
#include "common/interface/vantrel_interface.h"
#include "common/kernel/collision_detection.h"
#include "common/kernel/run_data.h"
#include "common/protocol/packet.h"
#include "common/protocol/robot_param_block.h"

// The kernel's data symbols: the collision switch and the digital images.
extern "C" {
std::uint8_t gIsCollisionDect = 0;
ZELOR_EXPORT std::uint8_t gPhyDIs[1000] = {};
ZELOR_EXPORT std::uint8_t gPhyDOs[1000] = {};
}

namespace {

namespace rec = zelor::sim::recording;

constexpr int kAlarmBytes = 32;
constexpr int kLengthFieldBytes = 2;  // the length field counts id and control byte

struct Reply {
  bool withhold = false;
  std::vector<std::uint8_t> params;
};

// (id, write) → how the kernel answers.
using ReplyKey = std::pair<int, bool>;

struct State {
  std::mutex mutex;
  core_interface* table = nullptr;
  bool loggedInit = false;
  bool loggedParams = false;
  bool loggedRun = false;

  // The control file as last read.
  bool haveControl = false;
  struct stat control {};
  std::map<ReplyKey, Reply> replies;
  std::vector<int> latched;
  std::array<std::uint8_t, kAlarmBytes> alarms{};
  std::uint8_t stopStatus = 0;
  std::array<float, 8> pose{};
  int armOrientation = 0;
  std::uint8_t stepIn = 0;

  // The withheld request still in the core's mailbox.
  bool withholding = false;
  Packet withheld{};
};

State& state() {
  static State s;
  return s;
}

void ensureDirectory() { mkdir(rec::directory().c_str(), 0777); }

void appendLine(const std::string& line) {
  ensureDirectory();
  const int fd = open(rec::logPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return;
  const std::string whole = line + "\n";
  // One write per line: a reader never sees half of one.
  if (write(fd, whole.data(), whole.size()) != static_cast<ssize_t>(whole.size())) {
    std::fprintf(stderr, "recording kernel: short write to %s\n", rec::logPath().c_str());
  }
  close(fd);
}

bool parseHex(const std::string& text, std::vector<std::uint8_t>& out) {
  out.clear();
  if (text == "-") return true;
  if (text.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    char* end = nullptr;
    const std::string pair = text.substr(i, 2);
    const unsigned long byte = std::strtoul(pair.c_str(), &end, 16);
    if (end != pair.c_str() + 2) return false;
    out.push_back(static_cast<std::uint8_t>(byte));
  }
  return out.size() <= kKernelParamBytes;
}

bool parseDirection(const std::string& text, bool& write) {
  if (text != "r" && text != "w") return false;
  write = text == "w";
  return true;
}

bool applyLine(State& s, const std::string& line) {
  std::istringstream in(line);
  std::string word;
  if (!(in >> word) || word[0] == '#') return true;
  int id = 0;
  std::string direction;
  std::string text;
  bool write = false;
  if (word == "reply") {
    Reply reply;
    if (!(in >> id >> direction >> text) || !parseDirection(direction, write) || !parseHex(text, reply.params)) {
      return false;
    }
    s.replies[{id, write}] = reply;
  } else if (word == "withhold") {
    if (!(in >> id >> direction) || !parseDirection(direction, write)) return false;
    s.replies[{id, write}] = Reply{true, {}};
  } else if (word == "latch") {
    if (!(in >> id)) return false;
    s.latched.push_back(id);
  } else if (word == "alarms") {
    std::vector<std::uint8_t> bytes;
    if (!(in >> text) || !parseHex(text, bytes) || bytes.size() > kAlarmBytes) return false;
    s.alarms.fill(0);
    std::copy(bytes.begin(), bytes.end(), s.alarms.begin());
  } else if (word == "stop") {
    int value = 0;
    if (!(in >> value) || value < 0 || value > 255) return false;
    s.stopStatus = static_cast<std::uint8_t>(value);
  } else if (word == "pose") {
    std::array<float, 8> pose{};
    for (float& v : pose) {
      if (!(in >> v)) return false;
    }
    s.pose = pose;
  } else if (word == "arm") {
    if (!(in >> s.armOrientation)) return false;
  } else if (word == "stepin") {
    int value = 0;
    if (!(in >> value) || value < 0 || value > 255) return false;
    s.stepIn = static_cast<std::uint8_t>(value);
  } else if (word == "inputs") {
    int offset = -1;
    std::vector<std::uint8_t> bytes;
    if (!(in >> offset >> text) || !parseHex(text, bytes) || offset < 0 ||
        static_cast<std::size_t>(offset) + bytes.size() > sizeof gPhyDIs) {
      return false;
    }
    std::copy(bytes.begin(), bytes.end(), gPhyDIs + offset);
  } else {
    return false;
  }
  return true;
}

// Reads the control file again when it changed (or vanished). Called with
// the state's mutex held.
void refreshControl(State& s) {
  struct stat now {};
  const bool have = stat(rec::controlPath().c_str(), &now) == 0;
  if (have == s.haveControl &&
      (!have || (now.st_ino == s.control.st_ino && now.st_size == s.control.st_size &&
                 now.st_mtim.tv_sec == s.control.st_mtim.tv_sec && now.st_mtim.tv_nsec == s.control.st_mtim.tv_nsec))) {
    return;
  }
  s.haveControl = have;
  s.control = now;
  s.replies.clear();
  s.latched.clear();
  s.alarms.fill(0);
  s.stopStatus = 0;
  s.pose.fill(0.0f);
  s.armOrientation = 0;
  s.stepIn = 0;
  if (!have) return;
  std::istringstream lines(rec::readText(rec::controlPath()));
  std::string line;
  while (std::getline(lines, line)) {
    if (!applyLine(s, line)) std::fprintf(stderr, "recording kernel: control line ignored: %s\n", line.c_str());
  }
}

std::string describe(const Packet& p, int params, bool withheld) {
  std::vector<std::uint8_t> bytes(p.params, p.params + params);
  return std::to_string(p.cmdId) + " " + std::to_string(p.ctrl) + " " + std::to_string(params) + " " +
         rec::hex(bytes) + (withheld ? " withheld" : "");
}

bool samePacket(const Packet& a, const Packet& b, int params) {
  return a.cmdId == b.cmdId && a.ctrl == b.ctrl && a.length == b.length &&
         std::memcmp(a.params, b.params, static_cast<std::size_t>(params)) == 0;
}

// Takes and answers the pending packets. Called with the state's mutex held.
void serveCore(State& s) {
  if (s.table == nullptr || s.table->getPackage == nullptr || s.table->sendPackage == nullptr) return;
  // The core hands over one request at a time; the bound only guards
  // against a core that keeps offering.
  for (int taken = 0; taken < 64; ++taken) {
    Packet request{};
    if (s.table->getPackage(&request) == 0) {
      s.withholding = false;
      return;
    }
    const int params =
        std::clamp(static_cast<int>(request.length) - kLengthFieldBytes, 0, static_cast<int>(kKernelParamBytes));
    // The request withheld before is still pending: leave it.
    if (s.withholding && samePacket(request, s.withheld, params)) return;
    s.withholding = false;

    const bool isWrite = (request.ctrl & kCtrlWrite) != 0;
    const auto found = s.replies.find({request.cmdId, isWrite});
    const bool withhold = found != s.replies.end() && found->second.withhold;
    appendLine(describe(request, params, withhold));
    if (withhold) {
      s.withholding = true;
      s.withheld = request;
      return;
    }
    if (isWrite && std::find(s.latched.begin(), s.latched.end(), request.cmdId) != s.latched.end()) {
      s.replies[{request.cmdId, false}] =
          Reply{false, std::vector<std::uint8_t>(request.params, request.params + params)};
    }

    Packet reply{};
    reply.cmdId = request.cmdId;
    reply.ctrl = request.ctrl;
    if (found != s.replies.end()) {
      const std::vector<std::uint8_t>& canned = found->second.params;
      std::copy(canned.begin(), canned.end(), reply.params);
      reply.length = static_cast<std::uint16_t>(canned.size() + kLengthFieldBytes);
    } else {
      std::memcpy(reply.params, request.params, static_cast<std::size_t>(params));
      reply.length = static_cast<std::uint16_t>(params + kLengthFieldBytes);
    }
    s.table->sendPackage(&reply);
  }
}

}  // namespace

extern "C" {

void vantrel_init(AxesGroupRef*, core_interface* itf) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.table = itf;
  if (!s.loggedInit) appendLine("init");
  s.loggedInit = true;
}

void vantrel_init_params(const void* block) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (block != nullptr) {
    ensureDirectory();
    const std::string temporary = rec::blockPath() + ".new";
    if (std::FILE* f = std::fopen(temporary.c_str(), "wb")) {
      const bool whole = std::fwrite(block, sizeof(RobotParamBlock), 1, f) == 1;
      if (std::fclose(f) == 0 && whole) std::rename(temporary.c_str(), rec::blockPath().c_str());
    }
  }
  if (!s.loggedParams) appendLine("init_params");
  s.loggedParams = true;
}

void vantrel_run(void) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.loggedRun) appendLine("run");
  s.loggedRun = true;
  refreshControl(s);
  serveCore(s);
}

void vantrel_recv_visiondata(const char*) {}

void vantrel_update_di(const std::uint32_t in[16]) { std::memcpy(gPhyDIs, in, 16 * sizeof(std::uint32_t)); }
void vantrel_get_di(std::uint32_t out[16]) { std::memcpy(out, gPhyDIs, 16 * sizeof(std::uint32_t)); }
void vantrel_update_do(std::uint32_t out[16]) { std::memcpy(out, gPhyDOs, 16 * sizeof(std::uint32_t)); }
void vantrel_update_modbusdi(const std::uint8_t in[900]) {
  std::memcpy(gPhyDIs + kModbusFirstByte, in, kModbusPoints);
}
void vantrel_update_modbusdo(std::uint8_t out[900]) { std::memcpy(out, gPhyDOs + kModbusFirstByte, kModbusPoints); }
void vantrel_get_di_ptr(void** out) { *out = gPhyDIs; }
void vantrel_get_do_ptr(void** out) { *out = gPhyDOs; }

void vantrel_get_pose(float out[8]) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  refreshControl(s);
  std::memcpy(out, s.pose.data(), 8 * sizeof(float));
}

void vantrel_get_armOrientation(int* out) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  refreshControl(s);
  *out = s.armOrientation;
}
void vantrel_get_version(int* major, int* minor, int* patch) {
  *major = 0;
  *minor = 0;
  *patch = 0;
}

void vantrel_get_alarms(std::uint8_t out[32]) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  refreshControl(s);
  std::memcpy(out, s.alarms.data(), kAlarmBytes);
}

void vantrel_clear_alarm_by_index(unsigned index) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (index < 8 * kAlarmBytes) s.alarms[index / 8] &= static_cast<std::uint8_t>(~(1u << (index % 8)));
}

void vantrel_get_AlgsTime(int* maxUs, float* averageUs) {
  *maxUs = 0;
  *averageUs = 0.0f;
}
void vantrel_get_stepin_enable(std::uint8_t* out) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  refreshControl(s);
  *out = s.stepIn;
}
void vantrel_get_ready_status(std::uint8_t* out) { *out = 1; }

void vantrel_get_stop_status(std::uint8_t* out) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  refreshControl(s);
  *out = s.stopStatus;
}

void vantrel_get_run_data(void* out) { std::memset(out, 0, sizeof(tagAlgsRunData)); }

}  // extern "C"
