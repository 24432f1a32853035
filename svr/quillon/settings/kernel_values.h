#pragma once

#include <QString>

// Values the motion kernel stores through its callback table: group
// "Scara_Framework" of the data server's settings file.

// Stores key = value and syncs the file (and the file system).
void storeKernelValue(const QString& path, const char* key, double value);

// The stored value of key, 0 when it was never stored.
double loadKernelValue(const QString& path, const char* key);
