#include "tramlet/json_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace tramlet_detail {

namespace {

// Closes the descriptor when reading ends.
struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

JsonFileResult readJsonFile(const std::string& path, std::string& text, rapidjson::Document& doc) {
  text.clear();
  Fd file{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) return JsonFileResult::kCannotOpen;
  struct stat st {};
  if (fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return JsonFileResult::kCannotOpen;
  char buf[8192];
  for (;;) {
    const ssize_t n = read(file.fd, buf, sizeof buf);
    if (n < 0) return JsonFileResult::kCannotOpen;
    if (n == 0) break;
    if (text.size() + static_cast<std::size_t>(n) > kMaxParamFileSize) {
      text.clear();
      return JsonFileResult::kTooLarge;
    }
    text.append(buf, static_cast<std::size_t>(n));
  }
  // Iterative parsing: a deeply nested document cannot exhaust the stack.
  doc.Parse<rapidjson::kParseIterativeFlag>(text.data(), text.size());
  return doc.HasParseError() ? JsonFileResult::kNotJson : JsonFileResult::kOk;
}

bool loadJsonFile(const std::string& path, const char* openName, rapidjson::Document& doc) {
  std::string text;
  switch (readJsonFile(path, text, doc)) {
    case JsonFileResult::kOk:
      return true;
    case JsonFileResult::kCannotOpen:
      std::printf("can not open file %s!!!!!!\n", openName);
      return false;
    case JsonFileResult::kTooLarge:
      std::printf("parse json faild!!!!!!\n");
      return false;
    case JsonFileResult::kNotJson:
      std::printf("parse json faild!!!!!!\n");
      std::fwrite(text.data(), 1, text.size(), stdout);
      std::printf("\n");
      return false;
  }
  return false;
}

}  // namespace tramlet_detail
