#pragma once

// Log lines of the run phases that carry values as "%1.3f": label i, then
// value i, for each value, then "\r\n". The text is printf's (same exact
// rounding, "nan", "inf", "-0.000") at a fraction of its cost, for lines
// written every cycle. Through the kernel log callback, 256 bytes at most.
void LogFixed3(const char* const* labels, const double* values, int count);
