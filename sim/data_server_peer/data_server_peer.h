#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace zelor::sim {

// One request as the peer took it from queue 102.
struct PeerRequest {
  std::uint16_t id = 0;
  std::uint8_t ctrl = 0;
  std::uint16_t length = 0;  // parameter bytes, as the request states them
  std::vector<std::uint8_t> params;
  long sequence = 0;  // the request's message type, which its reply carries back
  // Handed on as the data server hands a request to the kernel; false when
  // it was answered as failed (the failure answer, or held past the data
  // server's limit).
  bool handedOver = true;
};

// Stand-in for the data server at the far end of the command queue pair: it
// takes requests from queue 102 and answers on queue 103 as the data server's
// packet-exchange thread does (the request's message type, 2400-byte bodies,
// the reply packet 0xAA 0xAA, length = reply parameter bytes + 2, the
// request's id and control byte), and owns the control-mode text of the
// status memory for the tests. Like the data server it hands nothing on
// later than 2 s after a request was sent: a reply held past that is the
// failure answer instead.
class DataServerPeer {
 public:
  enum class Mode {
    Immediate,    // answer at once
    Delayed,      // answer after the next delay of setDelays (0 when none is left)
    Tick4ms,      // at most one answer per 4 ms tick, on the tick
    NotReading,   // leave queue 102 alone
    NeverAnswer,  // take requests, answer none
    TimeoutEcho,  // the data server's failure answer: the request, its length raised by 2, marked failed
    StaleFirst,   // a late reply of the request before first, then the real one
  };

  // Attaches (or creates) the status memory and opens (or creates) both
  // queues; the serving thread starts with start().
  DataServerPeer();
  ~DataServerPeer();
  DataServerPeer(const DataServerPeer&) = delete;
  DataServerPeer& operator=(const DataServerPeer&) = delete;

  void start();
  void stop();

  void setControlMode(const std::string& mode);
  void setMode(Mode mode);
  void setDelays(std::deque<std::chrono::milliseconds> delays);
  // Reply parameters of a read of this id.
  void setReadReply(std::uint16_t id, std::vector<std::uint8_t> params);
  // Reply parameters of the reads of this id in turn: the k-th read gets the
  // k-th entry, the last one repeating.
  void setReadSequence(std::uint16_t id, std::vector<std::vector<std::uint8_t>> replies);
  // Answer texts of the next raw-text requests, one each; after them the
  // answer of setRawAnswer.
  void setRawAnswers(std::deque<std::string> texts);
  // Answer text of the raw text road (id 262): NUL-terminated in the reply.
  void setRawAnswer(const std::string& text);
  // Raw answer parameter bytes as they are, filling up to the packet's end.
  void setRawAnswerBytes(std::vector<std::uint8_t> params);

  // Requests of this id and control byte get no kernel reply: the peer
  // answers them at once with the data server's failure answer.
  void setUnanswered(std::uint16_t id, std::uint8_t ctrl);
  // Only the next count requests of this id and control byte go unanswered.
  void setUnansweredNext(std::uint16_t id, std::uint8_t ctrl, int count);

  std::vector<PeerRequest> requests() const;
  // Requests that were already waiting when the peer answered the one before.
  int overlaps() const { return overlaps_; }
  int answered() const { return answered_; }

  int requestQueue() const { return requestMsq_; }
  int replyQueue() const { return replyMsq_; }

 private:
  void serve();
  void answer(long sequence, const std::uint8_t* body, std::int64_t received);
  bool requestsWaiting() const;

  int requestMsq_ = -1;
  int replyMsq_ = -1;
  std::atomic<bool> stopping_{false};
  std::atomic<int> overlaps_{0};
  std::atomic<int> answered_{0};
  std::thread thread_;

  mutable std::mutex mutex_;
  Mode mode_ = Mode::Immediate;
  std::deque<std::chrono::milliseconds> delays_;
  std::map<std::uint16_t, std::vector<std::uint8_t>> readReplies_;
  std::vector<std::uint8_t> rawAnswer_;
  std::map<std::uint16_t, std::deque<std::vector<std::uint8_t>>> readSequences_;
  std::deque<std::string> rawAnswers_;
  std::set<std::pair<std::uint16_t, std::uint8_t>> unanswered_;
  std::map<std::pair<std::uint16_t, std::uint8_t>, int> unansweredNext_;
  std::vector<PeerRequest> requests_;
  std::uint64_t queueIndex_ = 0;
  std::chrono::steady_clock::time_point lastTick_{};
};

}  // namespace zelor::sim
