#include "point_text.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The text without its first "{" and then its first "}"; false when either is missing.
bool stripBraces(std::string& text) {
  const std::size_t open = text.find('{');
  if (open == std::string::npos) return false;
  text.erase(open, 1);
  const std::size_t close = text.find('}');
  if (close == std::string::npos) return false;
  text.erase(close, 1);
  return true;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return parts;
}

}  // namespace

int parsePointData(const char* text, double* point) {
  if (text == nullptr || point == nullptr) {
    std::printf("parsePointData\n");
    return -1;
  }
  std::string body(text);
  if (!stripBraces(body)) return -1;
  const std::vector<std::string> parts = split(body, ',');
  for (int i = 0; i < 4; ++i) {
    const bool given = static_cast<std::size_t>(i) < parts.size();
    point[i] = given ? std::strtod(parts[i].c_str(), nullptr) : 0.0;
    std::printf("dpoint[%d] = %f, %s\n", i, point[i], given ? parts[i].c_str() : "");
  }
  return 0;
}

int parseMultiPointData(const char* text, std::vector<std::string>& parts) {
  if (text == nullptr) {
    std::printf("parseMultiPointData input error\n");
    return -1;
  }
  std::string body(text);
  if (!stripBraces(body)) return -1;
  for (std::string& part : split(body, ';')) parts.push_back(std::move(part));
  return static_cast<int>(parts.size());
}
