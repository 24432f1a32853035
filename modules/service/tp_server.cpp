#include "service/tp_server.h"

#include <event2/buffer.h>
#include <event2/http.h>

#include <cstring>

namespace zelor::modules::service {

std::unordered_map<std::string, FileHandler> _func_map_file;

TpServer::TpServer() : body_(new char[kBodyBufferSize]) { std::memset(body_.get(), 0, 4); }

TpServer::~TpServer() {
  if (reply_ != nullptr) evbuffer_free(reply_);
}

bool TpServer::createReplyBuffer() {
  if (reply_ == nullptr) reply_ = evbuffer_new();
  return reply_ != nullptr;
}

void TpServer::Reply(bool status) { Reply(status ? "{\"status\":true}" : "{\"status\":false}"); }

void TpServer::Reply(const std::string& text) { evbuffer_add(reply_, text.data(), text.size()); }

void TpServer::Reply(const char* text) { evbuffer_add(reply_, text, std::strlen(text)); }

}  // namespace zelor::modules::service
