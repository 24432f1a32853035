#include "subProcess/data/http_request.h"

#include <algorithm>

#include <event2/buffer.h>

#include "subProcess/data/data_log.h"

HttpRequest HttpRequest::capture(evhttp_request* req, ReplyBuffer* replies) {
  HttpRequest r;
  r.raw = req;
  r.replies = replies;
  r.command = evhttp_request_get_command(req);
  const char* uri = evhttp_request_get_uri(req);
  r.uri = uri != nullptr ? uri : "";
  r.parts = QString::fromStdString(r.uri).split('/', Qt::KeepEmptyParts);
  if (evhttp_connection* conn = evhttp_request_get_connection(req)) {
    char* address = nullptr;
    ev_uint16_t port = 0;
    evhttp_connection_get_peer(conn, &address, &port);
    r.peer = address != nullptr ? address : "";
    r.port = port;
  }
  if (evbuffer* in = evhttp_request_get_input_buffer(req)) {
    const std::size_t n = std::min(evbuffer_get_length(in), kBodyLimit);
    r.body.resize(n);
    if (n > 0) evbuffer_copyout(in, r.body.data(), n);
  }
  return r;
}

bool parseRequestBody(const HttpRequest& request, rapidjson::Document& doc) {
  if (request.body.empty()) {
    DATA_LOG(kError, "post input <= 0");
    return false;
  }
  doc.Parse(request.body.data(), request.body.size());
  if (doc.HasParseError()) {
    DATA_LOG(kError, "json parse failed");
    return false;
  }
  return true;
}
