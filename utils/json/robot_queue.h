#pragma once

#include <deque>
#include <mutex>
#include <string>

#include "zelor_export.h"

// First-in first-out queue of texts shared by a script's threads.
class ZELOR_EXPORT RobotQueue {
 public:
  void insertString(const std::string& text);
  // The oldest text, taken out; "" when the queue is empty.
  std::string getString();
  int getSize();
  void clear();

 private:
  std::mutex m_mutex;
  std::deque<std::string> m_texts;
};
