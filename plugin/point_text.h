#pragma once

// Points written as text: "{x,y,z,r}" and "{a;b;...}".

#include <string>
#include <vector>

// The four numbers between the first "{" and the first "}" after it (missing
// ones are 0): 0, or -1 for a null argument or a missing brace.
int parsePointData(const char* text, double* point);

// Appends the ";"-separated parts between the braces, empty ones included:
// the list's size, or -1 for a null text or a missing brace.
int parseMultiPointData(const char* text, std::vector<std::string>& parts);
