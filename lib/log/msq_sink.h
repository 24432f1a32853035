#pragma once

#include <mutex>

#include <spdlog/sinks/base_sink.h>

namespace spdlog::sinks {

// Sends every formatted line as one message into its channel's System V queue,
// never waiting: a full queue drops the line. The sink's mutex keeps threads
// logging on one channel from sharing the formatter and the message at once.
class msq_sink final : public base_sink<std::mutex> {
 public:
  explicit msq_sink(int channel);

  int queueId() const { return msq_; }

 protected:
  void sink_it_(const details::log_msg& msg) override;
  void flush_() override {}

 private:
  int msq_ = -1;
};

}  // namespace spdlog::sinks
