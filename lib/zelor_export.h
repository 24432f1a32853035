#pragma once

// Shared libraries are built with hidden visibility; what other binaries call
// is marked here on purpose.
#define ZELOR_EXPORT __attribute__((visibility("default")))
