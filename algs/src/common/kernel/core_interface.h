#pragma once

struct Packet;

// Callbacks the data server hands the kernel once, in this order. The kernel
// calls getPackage, sendPackage and log; the table lives as long as the process.
struct core_interface {
  int (*getPackage)(Packet* out);
  void (*sendPackage)(Packet* reply);
  void (*freePackage)(Packet* packet);
  Packet* (*allocPackage)();
  void (*clearPackageQueue)();
  void (*setValue)(const char* key, double value);
  double (*getValue)(const char* key);
  void (*log)(const char* text);
};

extern core_interface* gp_core_interface_inst;

// Size of every kernel log line, "\r\n" included.
inline constexpr int kKernelLogLineSize = 256;

// Formats one kernel log line (printf-style, bounded to kKernelLogLineSize)
// and hands it to the data server's log callback; nothing when none is set.
void KernelLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
