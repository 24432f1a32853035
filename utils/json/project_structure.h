#pragma once

#include <QString>
#include <QStringList>

#include "json/project_records.h"

// The resolved project: full paths of its scripts.
struct st_project {
  QStringList cpus;       // per-thread scripts, in the order of "cpus"
  QString global;         // global script
  QString teachPoint;     // point script with ".lua" appended
  QString reserved;
};

struct st_motor {
  bool simulated;
  bool composite;
  QString type;
  bool inverted;
  double rated;
  double limit;
  QString encoderType;
  double bitNum;
  double gearBoxNum;
  double gearBoxDen;
  double positionScalingNum;
  double positionScalingDen;
};

// properties/structure.json: link lengths, joint limits and motor data.
struct st_structure {
  double L1, L2, L3, L4, L5, L6, L7;
  double a1, a2, a3, a4, a5, a6;
  double limits[kAxisCount][2];  // per joint, in file order (first, second)
  double singularity12;
  st_motor motors[kAxisCount];
};
