#include "subProcess/lua/lua_sub_process.h"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <QByteArray>
#include <QStringList>

#include "common/ipc/semlib.h"
#include "common/router/message_router.h"
#include "common/thread/cpu_pinning.h"
#include "install_paths.h"
#include "json/project_structure.h"
#include "log/line_log.h"
#include "subProcess/core/core_sub_process.h"
#include "subProcess/factory_access.h"

namespace {

using zelor::modules::router::MessageRouter;
namespace ipc = zelor::common::ipc;

constexpr unsigned kServiceCpu = 1;
constexpr unsigned char kCommandChannel = 4;
constexpr unsigned char kLuaPidChannel = 6;
constexpr unsigned char kLuaStatusChannel = 7;
constexpr unsigned char kRelayRequestChannel = 16;
constexpr unsigned char kRelayReplyChannel = 17;

constexpr uint16_t kRunCommand = 1;
constexpr uint8_t kStopFrame[] = {0x00, 0x02, 0x00, 0x02};
constexpr uint8_t kRebootFrame[] = {0x00, 0x02, 0x00, 0x03};
constexpr uint8_t kRelayFailure[] = {0xFF, 0xFF};

// Request frame: client, status, 6 bytes, u16 id at 8, u16 length at 10,
// packet from 12. The length is the packet's length field + 6, and the
// packet handed to the core is one byte shorter.
constexpr size_t kFrameHeader = 12;
constexpr int kMinFrameLength = 8;
constexpr int kMaxFrameLength = 2057;
constexpr int kPrefixBytes = 2;

constexpr int kFastRounds = 200;
constexpr int kSlowRounds = 400;
constexpr auto kFastPause = std::chrono::milliseconds(1);
constexpr auto kSlowPause = std::chrono::milliseconds(3);
constexpr auto kLongPause = std::chrono::milliseconds(30);

CoreSubProcess* core() { return static_cast<CoreSubProcess*>(subProcessFactory().getInterface(ISubProcess::CORE)); }

uint16_t readU16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// A text that the shell takes literally inside double quotes.
bool plainQuotedText(const QByteArray& text) {
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\' || c == '$' || c == '`' || u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

// A host name or address: letters, digits, ".", ":", "_" and "-".
bool plainPeer(const QByteArray& peer) {
  if (peer.isEmpty()) return false;
  for (const char c : peer) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == ':' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

LuaSubProcess::LuaSubProcess(int port) : port_(port), segment_(MessageRouter::kSegmentId) {
  semId_ = init_semlib(&shm_);
  status_ = kNotRunning;
}

LuaSubProcess::~LuaSubProcess() {
  run_ = false;
  worker_.stopActivity();
}

// Takes and releases no semaphore: the lock may be held by a client writing
// its request, and a raised request semaphore stands for a written request.
void LuaSubProcess::start() {
  run_ = true;
  worker_.startActivity("LuaSubProcess");
  status_ = kRunning;
}

void LuaSubProcess::stop() {
  run_ = false;
  worker_.stopActivity();
  status_ = kNotRunning;
}

void LuaSubProcess::interCall(int id, void* in, void* out, void**) {
  switch (id) {
    case kStartProgram: {
      const int sent = startProgram(static_cast<const st_project*>(in));
      if (out != nullptr) *static_cast<int*>(out) = sent;
      break;
    }
    case kStopProgram:
      writeCommand(kStopFrame, sizeof kStopFrame);
      break;
    case kResume:
      if (resumePid_ > 0) {
        kill(resumePid_, SIGCONT);
        ZLOG_TRACE("Lua script process[%d] running!", resumePid_);
      }
      break;
    case kPause:
      if (pausePid_ > 0) {
        kill(pausePid_, SIGSTOP);
        ZLOG_TRACE("Lua script process[%d] paused!", pausePid_);
      }
      break;
    case kRunStatus: {
      const int running = runStatus();
      if (out != nullptr) *static_cast<int*>(out) = running;
      break;
    }
    case kProcessId:
      if (out != nullptr) *static_cast<int*>(out) = pausePid_;
      break;
    case kNotifyReboot:
      writeCommand(kRebootFrame, sizeof kRebootFrame);
      std::printf("NotifyReboot ...\n");
      break;
    default:
      ZLOG_TRACE("Can't find methid id:%d", id);
      break;
  }
}

int LuaSubProcess::startProgram(const st_project* project) {
  if (project == nullptr) {
    ZLOG_ERROR("no start record: lua program not started");
    return 0;
  }
  // Children are reaped by the system.
  signal(SIGCHLD, SIG_IGN);
  const QByteArray peer = project->reserved.toLocal8Bit();
  const QByteArray files = project->cpus.join(",").toLocal8Bit();
  const QByteArray global = project->global.toLocal8Bit();
  const QByteArray teachPoint = project->teachPoint.toLocal8Bit();
  // The line goes to a shell: every field must reach the interpreter as one
  // literal argument.
  if (!plainPeer(peer) || !plainQuotedText(files) || !plainQuotedText(global) || !plainQuotedText(teachPoint)) {
    ZLOG_ERROR("lua start refused: peer \"%s\" or a file name holds characters the shell would interpret",
               peer.constData());
    return 0;
  }
  char command[kCommandLineBytes];
  const int length = std::snprintf(command, sizeof command, "%s %s/zelor.lua %s \"%s\" \"%s\" \"%s\" | %s/ombrel 0 lua &",
                                   zelor::paths::kLuaInterpreter, zelor::paths::kLuaDir, peer.constData(),
                                   files.constData(), global.constData(), teachPoint.constData(), zelor::paths::kBin);
  if (length < 0 || static_cast<size_t>(length) >= sizeof command) {
    ZLOG_ERROR("lua start refused: the command line needs %d characters, at most %zu fit", length,
               sizeof command - 1);
    return 0;
  }
  std::printf("start lua cmd: %s\n", command);

  const uint8_t clearPid[6] = {};
  segment_.Write(kLuaPidChannel, clearPid, sizeof clearPid);

  uint8_t frame[kCommandLineBytes + 4];
  const unsigned short payload = static_cast<unsigned short>(length + 2);
  frame[0] = static_cast<uint8_t>(payload >> 8);
  frame[1] = static_cast<uint8_t>(payload & 0xFF);
  frame[2] = static_cast<uint8_t>(kRunCommand >> 8);
  frame[3] = static_cast<uint8_t>(kRunCommand & 0xFF);
  std::memcpy(frame + 4, command, static_cast<size_t>(length));
  return segment_.Write(kCommandChannel, frame, static_cast<unsigned short>(length + 4)) == 1 ? 1 : 0;
}

void LuaSubProcess::writeCommand(const uint8_t* frame, unsigned short len) {
  segment_.Write(kCommandChannel, frame, len);
}

int LuaSubProcess::runStatus() {
  uint8_t message[64] = {};
  const int length = segment_.Read(kLuaStatusChannel, message, sizeof message);
  if (length > kPrefixBytes) {
    lastRunStatus_ = message[kPrefixBytes];
    std::printf("readbuflen: %d, LUAStatus : %d ...\n", length, message[kPrefixBytes]);
  }
  return lastRunStatus_.load() == 1 ? 1 : 0;
}

void LuaSubProcess::semDataProcess() {
  set_thread_to_cpu(kServiceCpu);
  std::string relay(MessageRouter::kChannelBytes, '\0');
  auto* relayBuffer = reinterpret_cast<uint8_t*>(relay.data());
  while (run_.load()) {
    serveRelay(relayBuffer, relay.size());
    if (serveRequest()) continue;
    idlePause();
  }
}

bool LuaSubProcess::serveRelay(uint8_t* buffer, size_t size) {
  MessageRouter* router = MessageRouter::Instance();
  const int received = router->ReadNoBlock(kRelayRequestChannel, buffer, size);
  if (received <= 0) return false;
  const uint8_t* frame = buffer + kPrefixBytes;
  const int frameBytes = received - kPrefixBytes;
  if (frameBytes < static_cast<int>(kFrameHeader)) {
    ZLOG_ERROR("relay request of %d bytes has no header", frameBytes);
    router->Write(kRelayReplyChannel, kRelayFailure, sizeof kRelayFailure);
    return true;
  }
  const int id = readU16(frame + 8);
  const int length = readU16(frame + 10);
  // The packet handed over is length - 1 bytes from offset 12.
  if (length < kMinFrameLength || length > kMaxFrameLength ||
      static_cast<int>(kFrameHeader) + length - 1 > frameBytes) {
    ZLOG_ERROR("relay request id %d with length %d refused (%d bytes arrived)", id, length, frameBytes);
    router->Write(kRelayReplyChannel, kRelayFailure, sizeof kRelayFailure);
    return true;
  }
  CoreSubProcess* c = core();
  char reply[sizeof(semlib_frame::packet)] = {};
  int replyLength = 0;
  char packet[sizeof(semlib_frame::packet)] = {};
  std::memcpy(packet, frame + kFrameHeader, static_cast<size_t>(length - 1));
  if (c != nullptr && c->processProtocolPacket(id, packet, length - 1, reply, &replyLength) == 1) {
    if (replyLength < 0) replyLength = 0;
    if (replyLength > static_cast<int>(sizeof reply)) replyLength = static_cast<int>(sizeof reply);
    router->Write(kRelayReplyChannel, reply, static_cast<unsigned short>(replyLength));
  } else {
    router->Write(kRelayReplyChannel, kRelayFailure, sizeof kRelayFailure);
  }
  return true;
}

bool LuaSubProcess::serveRequest() {
  if (dsem_p_nowait(semId_, slots_.entry[0].signalSem) != 0) return false;
  std::memcpy(&frame_, reinterpret_cast<const uint8_t*>(shm_) + slots_.entry[0].offset, sizeof frame_);
  // The next client may write its request while this one is served.
  if (dsem_v_nowait(semId_, slots_.entry[0].waitSem) != 0) ZLOG_ERROR("request lock not released");

  const int client = frame_.client;
  if (client < 1 || client > ipc::kSemlibClientCount) {
    ZLOG_ERROR("request id %d names client %d: dropped, no reply area", frame_.commandId, client);
    return true;
  }
  const int length = frame_.length;
  CoreSubProcess* c = core();
  char reply[sizeof frame_.packet] = {};
  int replyLength = 0;
  bool ok = false;
  if (length < kMinFrameLength || length > kMaxFrameLength) {
    ZLOG_ERROR("request id %d of client %d with length %d refused", frame_.commandId, client, length);
  } else if (c == nullptr) {
    ZLOG_ERROR("request id %d of client %d: no core sub-process", frame_.commandId, client);
  } else {
    ok = c->processProtocolPacket(frame_.commandId, reinterpret_cast<char*>(frame_.packet), length - 1, reply,
                                  &replyLength) == 1;
  }
  if (ok) {
    std::memcpy(frame_.packet, reply, sizeof frame_.packet);
    frame_.length = static_cast<uint16_t>(replyLength);
    frame_.status = 0;
  } else {
    frame_.status = 1;
  }
  const ipc::semlib_channel& slot = slots_.entry[client];
  std::memcpy(reinterpret_cast<uint8_t*>(shm_) + slot.offset, &frame_, sizeof frame_);
  if (dsem_v_nowait(semId_, slot.signalSem) != 0) ZLOG_ERROR("reply semaphore of client %d not raised", client);
  return true;
}

void LuaSubProcess::idlePause() {
  if (idleRounds_ >= kSlowRounds) {
    std::this_thread::sleep_for(kLongPause);
    idleRounds_ = 1;
    return;
  }
  std::this_thread::sleep_for(idleRounds_ < kFastRounds ? kFastPause : kSlowPause);
  ++idleRounds_;
}
