#pragma once

#include <string_view>

// Project names and script paths reach a shell command line inside double
// quotes. True when the text holds none of the characters that keep a meaning
// there (", \, $, `) and no control character; other bytes, UTF-8 included,
// are plain.
bool isShellSafeText(std::string_view text);
