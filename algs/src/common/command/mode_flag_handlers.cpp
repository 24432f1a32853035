#include "common/command/mode_flag_handlers.h"

#include "common/command/command_params.h"
#include "common/kernel/dynamics_state.h"
#include "common/kernel/motion_state.h"

namespace {

constexpr std::uint32_t kRefused = 1;

std::uint32_t flag(const char* handler, std::uint8_t& stored, std::uint8_t rw, std::uint8_t* params,
                   std::uint32_t& len) {
  if (rw == 0) {
    params[0] = stored;
    len = 1;
    return 0;
  }
  std::uint8_t value = 0;
  const bool taken = TakeRecord(handler, params, len, value);
  len = 0;
  if (!taken) return kRefused;
  stored = value;
  return 0;
}

}  // namespace

std::uint32_t OnSafeGuardStatus(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  return flag(__func__, gSafeGuardStop, rw, params, len);
}

std::uint32_t OnSafeModeEnabled(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  return flag(__func__, gSafeMode, rw, params, len);
}

std::uint32_t OnFeedforward(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  return flag(__func__, gFeedForwardMode, rw, params, len);
}

std::uint32_t OnExcitMode(tagSysParams*, std::uint8_t rw, std::uint8_t* params, std::uint32_t& len, bool) {
  return flag(__func__, gExcitMode, rw, params, len);
}
