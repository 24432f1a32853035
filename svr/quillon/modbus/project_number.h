#pragma once

#include <string>

// The project number a name stands for: 1..65535 when the name is made only
// of decimal digits (leading zeros allowed), else 0.
int projectNumberOf(const std::string& name);
