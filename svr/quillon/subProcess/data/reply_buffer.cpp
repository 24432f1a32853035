#include "subProcess/data/reply_buffer.h"

#include "common/util/json_util.h"

int ReplyBuffer::reply(bool status) { return reply(status ? "{\"status\":true}" : "{\"status\":false}"); }

int ReplyBuffer::reply(const char* text) {
  if (text != nullptr && buffer_ != nullptr) evbuffer_add(buffer_, text, std::char_traits<char>::length(text));
  return 0;
}

int ReplyBuffer::reply(const std::string& text) {
  if (buffer_ != nullptr) evbuffer_add(buffer_, text.data(), text.size());
  return 0;
}

int ReplyBuffer::reply(rapidjson::Document* doc) {
  if (doc == nullptr) return -1;
  std::string text;
  zelor::common::util::JsonUtil::json2str(*doc, text);
  return reply(text);
}

void ReplyBuffer::clear() {
  if (buffer_ != nullptr) evbuffer_drain(buffer_, evbuffer_get_length(buffer_));
}

std::string ReplyBuffer::text() const {
  if (buffer_ == nullptr) return {};
  std::string out(evbuffer_get_length(buffer_), '\0');
  if (!out.empty()) evbuffer_copyout(buffer_, out.data(), out.size());
  return out;
}
