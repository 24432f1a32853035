// The three file operations of the file server.
#include <event2/buffer.h>
#include <event2/http.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "service/file_request_path.h"
#include "service/tp_server.h"

namespace zelor::modules::service {

namespace {

namespace fs = std::filesystem;

constexpr int kOk = 200;
constexpr int kNoContent = 204;
constexpr int kInvalidRequest = 400;
constexpr int kBadMethod = 405;
constexpr int kInternalError = 500;

bool exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// The request's file path, the reply buffer emptied first.
std::optional<std::string> requestPath(evhttp_request* req, TpServer* server) {
  evbuffer* reply = server->replyBuffer();
  evbuffer_drain(reply, evbuffer_get_length(reply));
  return filePathOf(evhttp_request_get_uri(req));
}

bool refusedDotDot(const std::string& path) {
  if (!containsDotDot(path)) return false;
  std::printf("dir contains '..'  Illegal!!!!! path :%s\n", path.c_str());
  return true;
}

// The whole content of a regular file, or nothing when it cannot be read.
std::optional<std::string> readWhole(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st{};
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return std::nullopt;
  }
  std::string content;
  char chunk[65536];
  ssize_t n;
  while ((n = read(fd, chunk, sizeof chunk)) > 0) content.append(chunk, static_cast<std::size_t>(n));
  close(fd);
  if (n < 0) return std::nullopt;
  return content;
}

// Writes the bytes to a new file beside path, then renames it over path, so a
// failure or a crash leaves the previous content. 0, or the HTTP status.
int saveFile(const std::string& path, const char* data, std::size_t size) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return kNoContent;
  std::string tmp = path + ".XXXXXX";
  const int fd = mkstemp(tmp.data());
  if (fd < 0) return kNoContent;
  fchmod(fd, 0644);
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && std::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    unlink(tmp.c_str());
    std::printf("[%s] can not write %s!!!!!!\n", "fileWriteHandler", path.c_str());
    return kInternalError;
  }
  return 0;
}

}  // namespace

int TpServer::fileReadHandler(evhttp_request* req, TpServer* server) {
  const auto path = requestPath(req, server);
  if (!path) return kInvalidRequest;
  if (refusedDotDot(*path)) return kNoContent;
  if (!exists(*path)) {
    std::printf("%s  not exist!!!!!\n", path->c_str());
    return kNoContent;
  }
  if (evhttp_request_get_command(req) != EVHTTP_REQ_GET) {
    server->Reply("bad methord! get only!");
    return kBadMethod;
  }
  const auto content = readWhole(*path);
  if (!content) {
    std::printf("[%s] can not open %s!!!!!!\n", "fileReadHandler", path->c_str());
    return kNoContent;
  }
  evbuffer_add(server->replyBuffer(), content->data(), strnlen(content->data(), content->size()));
  return kOk;
}

int TpServer::fileWriteHandler(evhttp_request* req, TpServer* server) {
  const auto path = requestPath(req, server);
  if (!path) return kInvalidRequest;
  if (refusedDotDot(*path)) return kNoContent;
  const std::string dir = path->substr(0, path->rfind('/'));
  if (!dir.empty() && !exists(dir)) {
    const std::string cmd = "mkdir -p " + dir;
    std::printf("dir_path not exist! creat it using cmd %s\n", cmd.c_str());
    std::error_code ec;
    fs::create_directories(dir, ec);
  }
  if (evhttp_request_get_command(req) != EVHTTP_REQ_POST) {
    server->Reply("bad methord! post only!");
    return kBadMethod;
  }
  char* body = server->body_.get();
  std::memset(body, 0, kBodyBufferSize);
  const int taken = evbuffer_remove(evhttp_request_get_input_buffer(req), body, kBodyBufferSize);
  const std::size_t size = taken > 0 ? strnlen(body, static_cast<std::size_t>(taken)) : 0;
  const int failed = saveFile(*path, body, size);
  if (failed == kNoContent) {
    std::printf("[%s] can not open %s!!!!!!\n", "fileWriteHandler", path->c_str());
    return kNoContent;
  }
  if (failed != 0) return failed;
  server->Reply(true);
  return kOk;
}

int TpServer::fileDeleteHandler(evhttp_request* req, TpServer* server) {
  std::printf("[%s] enter!\n", "fileDeleteHandler");
  const auto path = requestPath(req, server);
  if (!path) return kInvalidRequest;
  if (evhttp_request_get_command(req) != EVHTTP_REQ_POST) return kBadMethod;
  if (!exists(*path)) {
    std::printf("file or path not exist !path:%s\n", path->c_str());
    return kNoContent;
  }
  if (refusedDotDot(*path)) return kNoContent;
  const std::string cmd = "rm -rf " + *path;
  std::error_code ec;
  fs::remove_all(*path, ec);
  std::printf("removed file(or direactory) using cmd %s\n", cmd.c_str());
  if (ec) {
    std::printf("[%s] can not remove %s: %s\n", "fileDeleteHandler", path->c_str(), ec.message().c_str());
    return kInternalError;
  }
  server->Reply(true);
  return kOk;
}

}  // namespace zelor::modules::service
