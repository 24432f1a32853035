#pragma once

#include <string>

namespace zelor::modules::service {

inline constexpr unsigned char kIdentifyRequestChannel = 11;
inline constexpr unsigned char kIdentifyDoneChannel = 12;

// Writes length bytes of data, as they are, on a channel of segment 12;
// the length, or 0 when it exceeds the 1024-byte area or the write fails.
int IdentifyWrite(unsigned char channel, const void* data, unsigned length);
// Takes a channel's frame into buffer, which holds a whole channel buffer.
int IdentifyRead(unsigned char channel, void* buffer);

// Starts AutoIdentifyThread, detached.
void StartAutoIdentifyServer();
// Once a second: on a request of the data server, moves the /tmp/identify*
// files into the identification directory and writes the done byte.
void AutoIdentifyThread();

// Copies every regular file of sourceDir whose name begins with prefix into
// destDir (overwriting), removing each source only after its copy succeeded.
// The number of files moved.
int moveIdentificationFiles(const std::string& sourceDir, const std::string& prefix, const std::string& destDir);

}  // namespace zelor::modules::service
