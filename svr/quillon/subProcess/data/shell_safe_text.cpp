#include "subProcess/data/shell_safe_text.h"

bool isShellSafeText(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == '"' || c == '\\' || c == '$' || c == '`') return false;
  }
  return true;
}
