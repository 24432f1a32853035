#pragma once

#include <cstdint>

#include "zelor_export.h"

// The motion library's flat C interface towards its host, apart from the
// set-up and the cycle. No export returns a value; results go through
// out-pointers. The host calls them between cycles, one at a time.

extern "C" {

// Vision intake: one camera frame text.
ZELOR_EXPORT void vantrel_recv_visiondata(const char* text);

// Digital I/O images (point n at byte n - 1).
ZELOR_EXPORT void vantrel_update_di(const std::uint32_t in[16]);
ZELOR_EXPORT void vantrel_get_di(std::uint32_t out[16]);
ZELOR_EXPORT void vantrel_update_do(std::uint32_t out[16]);
ZELOR_EXPORT void vantrel_update_modbusdi(const std::uint8_t in[900]);
ZELOR_EXPORT void vantrel_update_modbusdo(std::uint8_t out[900]);
ZELOR_EXPORT void vantrel_get_di_ptr(void** out);
ZELOR_EXPORT void vantrel_get_do_ptr(void** out);

// State.
ZELOR_EXPORT void vantrel_get_pose(float out[8]);
ZELOR_EXPORT void vantrel_get_armOrientation(int* out);
ZELOR_EXPORT void vantrel_get_version(int* major, int* minor, int* patch);
ZELOR_EXPORT void vantrel_get_alarms(std::uint8_t out[32]);
ZELOR_EXPORT void vantrel_clear_alarm_by_index(unsigned index);
ZELOR_EXPORT void vantrel_get_AlgsTime(int* maxUs, float* averageUs);
ZELOR_EXPORT void vantrel_get_stepin_enable(std::uint8_t* out);
ZELOR_EXPORT void vantrel_get_ready_status(std::uint8_t* out);
ZELOR_EXPORT void vantrel_get_stop_status(std::uint8_t* out);
ZELOR_EXPORT void vantrel_get_run_data(void* out);

}  // extern "C"

// Image layout shared by the exports.
inline constexpr int kPhysicalPoints = 64;
inline constexpr int kModbusFirstByte = 100;
inline constexpr int kModbusPoints = 900;
