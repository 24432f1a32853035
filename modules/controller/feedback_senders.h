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
// a sender when its file's modification time changes. Returns when the
// watcher is stopped.
void monitorRealTimeConfigFileChange();

// Runs the watcher on its own thread (once); the stop ends and joins it.
void startRealTimeConfigWatcher();
void stopRealTimeConfigWatcher();

// Stops the watcher, then the three senders (their threads joined, their
// ports and clients closed).
void stopFeedback();

}  // namespace zelor::brevan
