#pragma once

#include <cstdint>

#include "common/ipc/real_time_data.h"
#include "realtime_data/realtime_data_sender.h"

namespace zelor::brevan {

// The three feedback ports.
extern zelor::modules::realTimeData::tcpipRealTimeDataSender BasicSender30004;
extern zelor::modules::realTimeData::tcpipRealTimeDataSender BasicSender30005;
extern zelor::modules::realTimeData::tcpipRealTimeDataSender customizedFormatSender;

// The real-time record in the status memory and its validity flag; set once.
extern RealTimeData_t* mp_realtimeData;
extern std::uint16_t* mp_realtimeData_isVaild;

// Attaches the status memory on first use and (re-)initialises the three senders.
void realtimeSenderReInit();

// The watcher of tcp30006Feedback.json and tcp30005Feedback.json: re-initialises
// a sender when its file's modification time changes. Never returns.
void monitorRealTimeConfigFileChange();

}  // namespace zelor::brevan
