#pragma once

// Pins the calling thread to one CPU (cpu < 1024). A refused pin is logged and
// the thread keeps running wherever the system puts it.
extern "C" void set_thread_to_cpu(unsigned cpu);
