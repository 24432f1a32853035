#pragma once

#include <thread>

// Names the thread (when name is not null; at most 15 characters are kept)
// and sets its scheduling policy and priority. Errors are ignored: a refused
// real-time policy leaves the thread as it was.
void SetSchedPolicy(std::thread& thread, const char* name, int policy, int priority);
