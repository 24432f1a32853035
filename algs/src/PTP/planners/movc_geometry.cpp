#include "PTP/path/circle_geometry.h"
#include "PTP/planners/movc.h"

// The arc is the circle plan of no whole turn plus the arc through the middle.
int TP_ArcPlanForScara(WCSPosition p0, WCSPosition p1, WCSPosition p2, CirlPlanPara* plan) {
  return TP_CirclePlanForScara(p0, p1, p2, plan, 0, true);
}
