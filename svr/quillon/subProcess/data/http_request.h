#pragma once

#include <cstdint>
#include <string>

#include <event2/http.h>
#include <rapidjson/document.h>

#include <QString>
#include <QStringList>

class ReplyBuffer;

// What a route handler sees of one request, copied out of libevent before any
// reply is sent: command, URI and its '/' parts, peer, and the body (at most
// kBodyLimit bytes). raw is null once an early reply has been sent.
struct HttpRequest {
  static constexpr std::size_t kBodyLimit = 8192;

  evhttp_request* raw = nullptr;
  evhttp_cmd_type command = EVHTTP_REQ_GET;
  std::string uri;
  QStringList parts;  // [0] empty, [1] type, [2] method, ...
  std::string peer;
  std::uint16_t port = 0;
  std::string body;
  ReplyBuffer* replies = nullptr;

  static HttpRequest capture(evhttp_request* req, ReplyBuffer* replies);

  bool isPost() const { return command == EVHTTP_REQ_POST; }
  bool isGet() const { return command == EVHTTP_REQ_GET; }
  // Path element n, or an empty text.
  QString part(int n) const { return n < parts.size() ? parts[n] : QString(); }
};

// Parses the request body: false with "post input <= 0" when there is none,
// with "json parse failed" when it is not JSON (both logged at error level).
bool parseRequestBody(const HttpRequest& request, rapidjson::Document& doc);
