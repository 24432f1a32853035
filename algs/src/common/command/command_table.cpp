#include "common/command/command_table.h"

#include <array>

#include "common/command/alarm_handlers.h"
#include "common/command/collision_handlers.h"
#include "common/command/conveyor_handlers.h"
#include "common/command/conveyor_object_handlers.h"
#include "common/command/drag_teach_handlers.h"
#include "common/command/ecp_handlers.h"
#include "common/command/exter_axis_handlers.h"
#include "common/command/hand_teach_handlers.h"
#include "common/command/io_handlers.h"
#include "common/command/jog_handlers.h"
#include "common/command/latch_handlers.h"
#include "common/command/load_handlers.h"
#include "common/command/mode_flag_handlers.h"
#include "common/command/motion_cmd_handlers.h"
#include "common/command/motion_param_handlers.h"
#include "common/command/point_conversion_handlers.h"
#include "common/command/pose_frame_handlers.h"
#include "common/command/queued_exec_handlers.h"

namespace {

// One row per command id, in table order; each handler lives with its own
// concern. Ids without a row are echoed.
constexpr std::array kRows{
    CommandRow{8, OnPointForwardCal},
    CommandRow{9, OnPointInverseCal},
    CommandRow{10, OnGetPose},
    CommandRow{11, OnResetPose},
    CommandRow{14, OnSetConveyorParams},
    CommandRow{15, OnGetCnvObject},
    CommandRow{16, OnSynCnv},
    CommandRow{17, OnStopSynCnv},
    CommandRow{18, OnGetEncoder},
    CommandRow{19, OnSetCnvPointOffset},
    CommandRow{23, OnSetCnvTimeCompensation},
    CommandRow{20, OnAlarmsState},
    CommandRow{21, OnClearServoAlarms},
    CommandRow{24, OnECPSwitch},
    CommandRow{25, OnECPSet},
    CommandRow{26, OnGetAngle},
    CommandRow{27, OnGetAllcmdDone},
    CommandRow{28, OnGetStopStatus},
    CommandRow{29, OnSafeGuardStatus},
    CommandRow{31, OnHOMECmd},
    CommandRow{32, OnSetLatch},
    CommandRow{33, OnLatchEnable},
    CommandRow{34, OnGetLatchPos},
    CommandRow{35, OnSetLatchPosTemplate},
    CommandRow{41, OnHHTTrigOutputEnabled},
    CommandRow{43, OnDragTeachEnabled},
    CommandRow{44, OnDragTeachMode},
    CommandRow{45, OnCollideDrag},
    CommandRow{47, OnControlType},
    CommandRow{50, OnArmOrientation},
    CommandRow{51, OnTransition},
    CommandRow{52, OnSpeedFactorParams},
    CommandRow{53, OnManualSpeedParams},
    CommandRow{70, OnJOGJointParams},
    CommandRow{71, OnJOGCoordinateParams},
    CommandRow{72, OnJOGCommonParams},
    CommandRow{73, OnJOGCmd},
    CommandRow{74, OnINCHParams},
    CommandRow{80, OnPTPJointParams},
    CommandRow{81, OnPTPCoordinateParams},
    CommandRow{82, OnPTPJumpParams},
    CommandRow{87, OnPTPJump2Params},
    CommandRow{83, OnPTPCommonParams},
    CommandRow{84, OnPTPCmd},
    CommandRow{88, OnPTPPOCmd},
    CommandRow{101, OnARCCmd},
    CommandRow{102, OnCircleCmd},
    CommandRow{103, OnExicitCmd},
    CommandRow{104, OnExicitZCmd},
    CommandRow{110, OnWAITCmd},
    CommandRow{120, OnTRIGCmd},
    CommandRow{130, OnIOMultiplexing},
    CommandRow{131, OnIODO},
    CommandRow{132, OnIODAC},
    CommandRow{133, OnIODI},
    CommandRow{134, OnIOADC},
    CommandRow{136, OnIODOEx},
    CommandRow{137, OnIODIEx},
    CommandRow{138, OnIOADCEx},
    CommandRow{139, OnIODACEx},
    CommandRow{144, OnMulIODO},
    CommandRow{220, OnUserParam},
    CommandRow{225, OnExterAxisCmd},
    CommandRow{228, OnCalcUser},
    CommandRow{240, OnQueuedCmdStartExec},
    CommandRow{241, OnQueuedCmdStopExec},
    CommandRow{242, OnQueuedCmdForceStopExec},
    CommandRow{245, OnQueuedCmdClear},
    CommandRow{246, OnQueuedCmdCurrentIndex},
    CommandRow{247, OnQueuedCmdLeftSpace},
    CommandRow{250, OnLocalParams},
    CommandRow{251, OnToolParams},
    CommandRow{248, OnQueuedCmdStopClearExec},
    CommandRow{249, OnQueuedCmdHardStopClearExec},
    CommandRow{253, OnLoadFullParamsSet},
    CommandRow{200, OnSafeModeEnabled},
    CommandRow{201, OnCollisionThreshold},
    CommandRow{193, OnSetTorDiffLevel},
    CommandRow{202, OnBasicDynamicParams},
    CommandRow{204, OnLoadParams},
    CommandRow{205, OnFeedforward},
    CommandRow{206, OnExcitMode},
    CommandRow{207, OnLoadSwitch},
    CommandRow{208, OnLoadSet},
};

}  // namespace

constinit const std::span<const CommandRow> gProtocolHandlerLUT{kRows};
