#include "dynamics_fit/parameter_names.h"

namespace zelor::modules::dynamics {

const char kBaseParameterNames[kBaseParameterCount][kNameSlot] = {
    "ZZ1", "FS1", "FV1",                                                     //
    "XX2", "XY2", "XZ2", "YZ2", "ZZ2", "MX2", "MY2", "FS2", "FV2",           //
    "XX3", "XY3", "XZ3", "YZ3", "ZZ3", "MX3", "MY3", "IA3", "FS3", "FV3",    //
    "XX4", "XY4", "XZ4", "YZ4", "ZZ4", "MX4", "MY4", "IA4", "FS4", "FV4",    //
    "XX5", "XY5", "XZ5", "YZ5", "ZZ5", "MX5", "MY5", "IA5", "FS5", "FV5",    //
    "XX6", "XY6", "XZ6", "YZ6", "ZZ6", "MX6", "MY6", "IA6", "FS6", "FV6",    //
};

}  // namespace zelor::modules::dynamics
