#pragma once

// Handle of one System V message queue keyed by ftok(path, project id).

namespace interface {

class msqInterface {
 public:
  // Creates or opens the queue (only while the handle holds none) and sets its
  // byte limit to qbytes. Returns the result of the limit's IPC_SET, -1 when
  // the queue cannot be created. Logs on channel 15.
  int initMSQ(const char* path, unsigned projId, unsigned qbytes);

  // Forgets the queue so that the next initMSQ opens it afresh (after it was
  // removed).
  void reset() { msq = -1; }

  int msq = -1;
  unsigned prjId = 0;
  int key = -1;
  int ret = -1;
};

}  // namespace interface
