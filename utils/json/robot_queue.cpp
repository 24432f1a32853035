#include "json/robot_queue.h"

void RobotQueue::insertString(const std::string& text) {
  std::lock_guard lock(m_mutex);
  m_texts.push_back(text);
}

std::string RobotQueue::getString() {
  std::lock_guard lock(m_mutex);
  if (m_texts.empty()) return {};
  std::string oldest = std::move(m_texts.front());
  m_texts.pop_front();
  return oldest;
}

int RobotQueue::getSize() {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(m_texts.size());
}

void RobotQueue::clear() {
  std::lock_guard lock(m_mutex);
  m_texts.clear();
}
