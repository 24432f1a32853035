#pragma once

namespace interface {

// The program's one command lock. Every exchange with the data server takes
// it, and a command that sends several packets that belong together (a
// move's options, the move and their restore) holds it across all of them,
// so the other command port never lands a packet in between. It is a
// FairMutex: the two ports take it in the order they asked for it. Holds
// nest on one thread.
class CommandHold {
 public:
  CommandHold();
  ~CommandHold();
  CommandHold(const CommandHold&) = delete;
  CommandHold& operator=(const CommandHold&) = delete;
};

}  // namespace interface
