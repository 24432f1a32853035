#include "settings/kernel_values.h"

#include <cstdlib>

#include <QSettings>

namespace {
const char* kGroup = "Scara_Framework";
}  // namespace

void storeKernelValue(const QString& path, const char* key, double value) {
  QSettings file(path, QSettings::IniFormat);
  file.beginGroup(kGroup);
  file.setValue(key, value);
  file.endGroup();
  file.sync();
  if (std::system("sync") != 0) {
    // Nothing to do: the settings file itself is already written.
  }
}

double loadKernelValue(const QString& path, const char* key) {
  QSettings file(path, QSettings::IniFormat);
  file.beginGroup(kGroup);
  const double value = file.value(key, 0.0).toDouble();
  file.endGroup();
  return value;
}
