// Whole-period plans within the limits, for moves whose plain refit breaks
// them (mostly moves between running speeds that are little longer than the
// speed change itself).
//
// A plan is side 1 (vLow -> vc), a cruise at vc, side 2 (vc -> vHigh), with
// 0 <= vc <= vMax; vc may lie below both boundary velocities. Each side is
// jerk up, constant acceleration, jerk down with one jerk magnitude; such a
// side is point-symmetric in velocity, so a side of duration T covers
// T (v + vc) / 2 whatever its shape. At its shortest a side takes the
// limit-bound change time; every second added to side 1, the cruise or
// side 2 adds (vLow + vc) / 2, vc or (vc + vHigh) / 2 to the distance (a
// side towards a boundary velocity above vMax is never lengthened: it would
// run above vMax longer than it must; nor is a part at speed 0: the arm
// would stand still). So for one vc the durations that meet
// the distance form a window [tLo, tHi], and the plannable durations are the
// union of the windows over vc.
//
// The search cuts [0, vMax] where a side's time changes form (the boundary
// velocities and where a side first reaches its acceleration limit); inside
// a cell both shortest side times are monotone and the rates grow with vc,
// so a cell whose lower bound of the sides' distance exceeds the distance
// holds no plan. Live cells are sampled; the shortest whole number of
// periods that a window, or the hull of two neighbouring windows (which
// the union covers), allows is then solved for the vc whose window holds it.
#include <algorithm>
#include <cmath>
#include <limits>

#include "PTP/profiles/traj_plan_7s_frame.h"
#include "PTP/profiles/traj_plan_common.h"

namespace traj7s {

namespace {

constexpr double kInfinite = std::numeric_limits<double>::infinity();
constexpr int kMarks = 10;       // cell ends
constexpr int kSplit = 4;        // samples per live cell, its ends included
constexpr int kWindows = 4 * kMarks * kSplit;
constexpr int kChoices = 2 * kWindows;
constexpr int kRounds = 40;      // evaluations of one search on a cruise velocity

enum Part { kSide1 = 0, kCruise = 1, kSide2 = 2 };

// One cruise velocity with its sides at their shortest. Trivial, so that
// the sample arrays cost nothing to set up.
struct Window {
  double vc;
  double m1, m2;    // shortest side durations
  double rate[3];   // distance per second added to side 1, the cruise, side 2
  double tb, db;    // duration and distance of the shortest sides alone
  double tLo, tHi;  // durations that meet the distance
  int fast, slow;   // the parts that take added time
  bool spare;       // the shortest sides leave distance to spare
  bool usable;      // ... and some part can take added time: [tLo, tHi] holds
  bool pending;     // an end of a spare stretch not looked for yet
};

// The frame's constants the windows use.
struct Limits {
  const Frame* f;
  double invJerk;
  double invALow, invAHigh;
  double kneeLow, kneeHigh;  // velocity change at which a side reaches its acceleration limit
  double jerkTimeLow, jerkTimeHigh;
  bool stretch1, stretch2;   // the side may take added time
};

Limits limitsOf(const Frame& f) {
  Limits l;
  l.f = &f;
  l.invJerk = 1.0 / f.jerk;
  l.invALow = 1.0 / f.aLow;
  l.invAHigh = 1.0 / f.aHigh;
  l.kneeLow = f.aLow * f.aLow * l.invJerk;
  l.kneeHigh = f.aHigh * f.aHigh * l.invJerk;
  l.jerkTimeLow = f.aLow * l.invJerk;
  l.jerkTimeHigh = f.aHigh * l.invJerk;
  l.stretch1 = f.vLow <= f.vMax;
  l.stretch2 = f.vHigh <= f.vMax;
  return l;
}

double shortest(double dv, double knee, double invA, double jerkTime, double invJerk) {
  if (dv < knee) return 2.0 * std::sqrt(dv * invJerk);
  return dv * invA + jerkTime;
}

// Distance of the shortest sides alone at vc (the db of sidesAt).
double sidesDistance(const Limits& l, double vc) {
  const Frame& f = *l.f;
  const double m1 = shortest(std::fabs(vc - f.vLow), l.kneeLow, l.invALow, l.jerkTimeLow, l.invJerk);
  const double m2 = shortest(std::fabs(f.vHigh - vc), l.kneeHigh, l.invAHigh, l.jerkTimeHigh, l.invJerk);
  return m1 * ((f.vLow + vc) * 0.5) + m2 * ((vc + f.vHigh) * 0.5);
}

// The sides alone: times and distance, no window yet.
Window sidesAt(const Limits& l, double vc) {
  const Frame& f = *l.f;
  Window w;
  w.vc = vc;
  w.pending = false;
  w.m1 = shortest(std::fabs(vc - f.vLow), l.kneeLow, l.invALow, l.jerkTimeLow, l.invJerk);
  w.m2 = shortest(std::fabs(f.vHigh - vc), l.kneeHigh, l.invAHigh, l.jerkTimeHigh, l.invJerk);
  w.rate[kSide1] = (f.vLow + vc) * 0.5;
  w.rate[kCruise] = vc;
  w.rate[kSide2] = (vc + f.vHigh) * 0.5;
  w.tb = w.m1 + w.m2;
  w.db = w.m1 * w.rate[kSide1] + w.m2 * w.rate[kSide2];
  w.spare = f.dist - w.db >= 0.0;
  w.usable = false;
  w.tLo = 0.0;
  w.tHi = 0.0;
  w.fast = w.slow = -1;
  return w;
}

// Completes the window of sides found by sidesAt.
void finishWindow(const Limits& l, Window& w) {
  // A part that moves takes added time (standing still is no plan), a side
  // only when it may.
  const bool takes[3] = {l.stretch1 && w.rate[kSide1] > 0.0, w.rate[kCruise] > 0.0,
                         l.stretch2 && w.rate[kSide2] > 0.0};
  w.fast = w.slow = -1;
  for (int p = kSide1; p <= kSide2; ++p) {
    if (!takes[p]) continue;
    if (w.fast < 0 || w.rate[p] > w.rate[w.fast]) w.fast = p;
    if (w.slow < 0 || w.rate[p] < w.rate[w.slow]) w.slow = p;
  }
  w.usable = w.spare && w.fast >= 0;
  if (w.usable) {
    const double rest = l.f->dist - w.db;
    w.tLo = w.tb + rest / w.rate[w.fast];
    w.tHi = w.tb + rest / w.rate[w.slow];
  }
}

Window windowAt(const Limits& l, double vc) {
  Window w = sidesAt(l, vc);
  finishWindow(l, w);
  return w;
}

// The window at the time-optimal peak, where the shortest sides alone just
// cover the distance: a shortfall within rounding leaves it the single
// duration of those sides rather than no window at all.
Window peakWindow(const Limits& l, double vc) {
  Window w = sidesAt(l, vc);
  const double dist = l.f->dist;
  if (!w.spare && dist - w.db >= -1e-9 * std::max(1.0, dist)) {
    w.db = dist;
    w.spare = true;
  }
  finishWindow(l, w);
  return w;
}

// Side of duration T changing velocity by dv (signed) within acceleration a:
// the longest jerk segments the acceleration limit allows, so the lowest jerk.
void side(double dv, double T, double a, double* d, double* j) {
  const double change = std::fabs(dv);
  const double tj = std::min(T / 2.0, T - change / a);
  const double jerk = tj > 0.0 ? change / (tj * (T - tj)) : 0.0;
  d[0] = tj;
  d[1] = T - 2.0 * tj;
  d[2] = tj;
  j[0] = dv >= 0.0 ? jerk : -jerk;
  j[1] = 0.0;
  j[2] = -j[0];
}

// Segments of duration T on the window of w (T inside it): the added time
// goes to the fast and the slow part in the proportion that meets the distance.
Segments segmentsFor(const Frame& f, const Window& w, double T) {
  const double extra = std::max(0.0, T - w.tb);
  const double rest = f.dist - w.db;
  double added[3] = {0.0, 0.0, 0.0};
  const double spread = w.rate[w.fast] - w.rate[w.slow];
  const double share = extra > 0.0 && spread > 0.0 ? std::clamp((rest / extra - w.rate[w.slow]) / spread, 0.0, 1.0) : 1.0;
  added[w.fast] = share * extra;
  added[w.slow] += (1.0 - share) * extra;
  const double dv1 = w.vc - f.vLow;
  const double dv2 = f.vHigh - w.vc;
  double t1 = w.m1 + added[kSide1];
  double tc = added[kCruise];
  double t2 = w.m2 + added[kSide2];
  // A side without a change is more cruise.
  if (dv1 == 0.0) {
    tc += t1;
    t1 = 0.0;
  }
  if (dv2 == 0.0) {
    tc += t2;
    t2 = 0.0;
  }
  Segments seg;
  side(dv1, t1, f.aLow, &seg.d[1], &seg.j[1]);
  seg.d[4] = tc;
  side(dv2, t2, f.aHigh, &seg.d[5], &seg.j[5]);
  return seg;
}

// Illinois false position on a continuous g between x0 and x1 whose values
// differ in sign, until `done(g)` or `rounds` evaluations. Returns whether
// done was reached.
template <typename G, typename Done>
bool falsePosition(G g, double x0, double g0, double x1, double g1, int rounds, Done done) {
  int kept = -1;  // the end that stayed last time: halve its value when it stays again
  for (int n = 0; n < rounds; ++n) {
    double x = (x0 * g1 - x1 * g0) / (g1 - g0);
    if (!(x > std::min(x0, x1) && x < std::max(x0, x1))) x = (x0 + x1) / 2.0;
    if (x == x0 || x == x1) return false;
    const double gx = g(x);
    if (done(gx)) return true;
    if ((gx > 0.0) == (g0 > 0.0)) {
      x0 = x;
      g0 = gx;
      if (kept == 1) g1 /= 2.0;
      kept = 1;
    } else {
      x1 = x;
      g1 = gx;
      if (kept == 0) g0 /= 2.0;
      kept = 0;
    }
  }
  return false;
}

// End of the spare cruise velocities between a spare window and one that is
// not: where the shortest sides alone cover the distance. The windows
// shrink to a point there, often the shortest duration of its stretch.
Window domainEnd(const Limits& l, const Window& inside, const Window& outside) {
  const double dist = l.f->dist;
  double lastVc = inside.vc;
  double bestVc = inside.vc;
  bool moved = false;
  auto spare = [&](double vc) {
    lastVc = vc;
    return dist - sidesDistance(l, vc);
  };
  const double tolerance = 1e-9 * std::max(1.0, dist);
  falsePosition(spare, inside.vc, dist - inside.db, outside.vc, dist - outside.db, kRounds, [&](double g) {
    if (g < 0.0) return false;
    bestVc = lastVc;
    moved = true;
    return g <= tolerance;
  });
  // Only the last spare velocity found needs its window.
  return moved ? windowAt(l, bestVc) : inside;
}

// How far T lies beyond the window: positive above it, negative below it,
// 0 inside. Continuous in the cruise velocity while it is usable.
double beyond(const Window& w, double T) {
  if (w.tHi < T) return T - w.tHi;
  if (w.tLo > T) return T - w.tLo;
  return 0.0;
}

// A window between two usable ones that holds T. False when none is found
// (or the search meets an unusable velocity).
bool solveBetween(const Limits& l, const Window& a, const Window& b, double T, Window& out) {
  const double ga = beyond(a, T);
  const double gb = beyond(b, T);
  if (ga == 0.0 || gb == 0.0) {
    out = ga == 0.0 ? a : b;
    return true;
  }
  if ((ga > 0.0) == (gb > 0.0)) return false;
  auto g = [&](double vc) {
    out = windowAt(l, vc);
    return out.usable ? beyond(out, T) : 0.0;
  };
  return falsePosition(g, a.vc, ga, b.vc, gb, kRounds, [](double gx) { return gx == 0.0; }) && out.usable;
}

struct Choice {
  double periods;
  int first;   // window index
  int second;  // the other window of a hull, or -1 for the window alone
};

// The choice of window i alone (j < 0) or of the hull of windows i and j,
// if it holds a whole number of periods; false otherwise.
bool choiceOf(const Window* w, int i, int j, double P, Choice& out) {
  if (!w[i].usable || (j >= 0 && !w[j].usable)) return false;
  const double lo = j < 0 ? w[i].tLo : std::min(w[i].tLo, w[j].tLo);
  const double hi = j < 0 ? w[i].tHi : std::max(w[i].tHi, w[j].tHi);
  const double periods = traj_plan_common::periodsCovering(lo, P);
  if (!(periods * P <= hi)) return false;
  out = {periods, i, j};
  return true;
}

// Lower bound of the sides' distance over the cell between two samples.
double leastDistance(const Window& a, const Window& b) {
  return std::min(a.m1, b.m1) * a.rate[kSide1] + std::min(a.m2, b.m2) * a.rate[kSide2];
}

// No plan covers less distance than this. With the larger acceleration
// limit on both sides a side only gets shorter, and the shortest change is
// concave in its velocity change. A cruise velocity between the boundary
// velocities passes every velocity between them with an acceleration no
// larger than the fastest plain change between them has at that velocity,
// so it covers at least that change's distance; above vHigh it covers more.
// Below vLow the sides' distance is a sum of concave functions of the dip,
// least at an end: no dip, or a dip to rest.
double leastPlanDistance(const Frame& f) {
  const double a = std::max(f.aLow, f.aHigh);
  const double invJerk = 1.0 / f.jerk;
  const double knee = a * a * invJerk;
  const double jerkTime = a * invJerk;
  const double invA = 1.0 / a;
  const double direct = shortest(f.vHigh - f.vLow, knee, invA, jerkTime, invJerk) * (f.vLow + f.vHigh) * 0.5;
  const double viaRest = (shortest(f.vLow, knee, invA, jerkTime, invJerk) * f.vLow +
                          shortest(f.vHigh, knee, invA, jerkTime, invJerk) * f.vHigh) *
                         0.5;
  return std::min(direct, viaRest);
}

// Both boundary velocities at one V no lower than vMax: every plan dips to
// vc = V - dv, dv in [0, V], and never runs slower than vc, so it lasts at
// most D / vc. Each side takes at least 2 sqrt(dv / J) (past its knee too),
// so the sides alone cover g(dv) = 4 sqrt(dv / J) (V - dv / 2) <= D. g rises
// up to dv = 2V/3 and falls after it; with D < g(V) and b = 9 J D² / (64 V²)
// <= 2V/3, g(b) >= D, so every plan has dv <= b and lasts between D / V and
// D / (V - b). True when no whole number of periods lies there.
bool dipTooShort(const Frame& f) {
  const double V = f.vLow;
  const double D = f.dist;
  if (!(f.vHigh == V && V >= f.vMax)) return false;
  const double b = 9.0 * f.jerk * D * D / (64.0 * V * V);
  if (!(b <= 2.0 * V / 3.0 && D < 2.0 * V * std::sqrt(V / f.jerk))) return false;
  const double periods = traj_plan_common::periodsCovering(D / V, f.period);
  return periods * f.period > D / (V - b) * (1.0 + 1e-9);
}

// A move shorter than side 1's plain change from vLow to vHigh (vHigh <=
// vMax): no plan is shorter than 2D / (vLow + vHigh), the duration where the
// cruise at vLow is all taken by side 2. A plan dipping below vLow lasts at
// least 2D / (vc + vHigh), as side 2 is its fastest part. Between vLow and
// vHigh a plan lasts at least m1(x) dv / (vc + vHigh) + 2D / (vc + vHigh),
// x = vc - vLow, which is no less while m1(x) / x >= 2D / (dv (vLow +
// vHigh)); m1 is concave from 0, so m1(x) / x >= m1(dv) / dv, and side 1's
// plain change covers m1(dv) (vLow + vHigh) / 2 >= D. Above vHigh the sides
// alone cover more than that change. Returns vLow, whose window starts
// there, or -1 for other moves.
double fastestBelowTheChange(const Limits& l) {
  const Frame& f = *l.f;
  if (!(f.vLow < f.vHigh && f.vHigh <= f.vMax)) return -1.0;
  const double change =
      shortest(f.vHigh - f.vLow, l.kneeLow, l.invALow, l.jerkTimeLow, l.invJerk) * (f.vLow + f.vHigh) * 0.5;
  return change >= f.dist ? f.vLow : -1.0;
}

// From rest, a plan of T where the window at vc = 0 (the plain change to
// vHigh, lengthened) ends short of T: a creep at a small vc takes the added
// time. Its first side adds about 2 sqrt(vc / J) to the window's start, kept
// within half of what is left to T; the distance its sides add (about
// vc a / (2 J)) within half the distance left over by the plain change; and
// the creep's reach, the distance left at half of vc, beyond T.
template <typename Store>
bool creepFits(const Limits& l, double T, Store store) {
  const Frame& f = *l.f;
  const Window plain = windowAt(l, 0.0);
  const double slack = T - plain.tLo;
  const double room = f.dist - plain.db;
  if (!(plain.usable && slack > 0.0 && room > 0.0 && T > plain.tb)) return false;
  const double vc = std::min({room / (T - plain.tb), f.jerk * room / f.aHigh, f.jerk * slack * slack / 16.0});
  if (!(vc > 0.0 && vc < f.vHigh)) return false;
  const Window w = windowAt(l, vc);
  return w.usable && w.tLo <= T && T <= w.tHi && store(w);
}

// A plan of the peak's own number of periods N, looked for on a short chain
// of cruise velocities downwards from the time-optimal peak (or from vLow,
// see fastestBelowTheChange): the higher boundary velocity, the lower one,
// and below it a velocity whose window reaches N periods (where the second
// side, lengthened, carries the whole distance in N periods; from rest, a
// slow cruise that takes the added time). No plan is shorter than the
// peak's sides, so N periods are the fewest. Where the hull of two
// neighbours' windows holds N periods, the windows between them hold it too
// while they are usable, and solveBetween finds one. False when the chain
// holds no such plan (or a window on it gives fewer periods: then only the
// whole search can tell).
bool quickFit(const TrajPlanData& plan, const Limits& l, double vHint, MotionData& out) {
  const Frame& f = *l.f;
  const double P = f.period;
  Window chain[4];
  chain[0] = peakWindow(l, vHint);
  if (!chain[0].usable) return false;
  const double periods = traj_plan_common::periodsCovering(chain[0].tLo, P);
  const double T = periods * P;
  auto store = [&](const Window& w) { return build(f, segmentsFor(f, w, T), out) && keepsLimits(plan, out); };
  if (T <= chain[0].tHi) return store(chain[0]);

  int n = 1;
  for (int step = 0; step < 3; ++step) {
    const Window& last = chain[n - 1];
    double vc = step == 0 ? std::min(f.vHigh, f.vMax) : step == 1 ? f.vLow : 0.0;
    if (step == 2) {
      if (f.vLow > 0.0) {
        vc = 2.0 * f.dist / T - (l.stretch2 ? f.vHigh : f.vLow);
      } else {
        return creepFits(l, T, store);
      }
    }
    if (!(vc > 0.0 && vc < last.vc)) continue;
    Window& w = chain[n++];
    w = windowAt(l, vc);
    if (!w.usable) return false;
    const Window& a = chain[n - 2];
    if (traj_plan_common::periodsCovering(std::min(a.tLo, w.tLo), P) < periods) return false;
    if (!(T <= std::max(a.tHi, w.tHi))) continue;
    Window hit = w;
    return solveBetween(l, a, w, T, hit) && store(hit);
  }
  return false;
}

}  // namespace

bool fitWithinLimits(const TrajPlanData& plan, const Frame& f, double vHint, MotionData& out, Search search) {
  // Rounding of the sides' distances is far below this margin.
  if (f.dist < leastPlanDistance(f) * (1.0 - 1e-9)) return false;
  const bool quick = search == Search::kQuickFirst;
  if (quick && dipTooShort(f)) return false;
  const Limits l = limitsOf(f);
  const double top = f.vMax;
  const double P = f.period;

  if (quick) {
    const double fastest = vHint > 0.0 && vHint <= top ? vHint : fastestBelowTheChange(l);
    if (fastest >= 0.0 && quickFit(plan, l, fastest, out)) return true;
  }

  double marks[kMarks] = {0.0, top};
  static_assert(kMarks >= 9, "both ends and seven inner marks");
  int count = 2;
  const double inner[] = {vHint,
                          f.vLow,
                          f.vHigh,
                          f.vLow + l.kneeLow,
                          f.vLow - l.kneeLow,
                          f.vHigh + l.kneeHigh,
                          f.vHigh - l.kneeHigh};
  for (double m : inner) {
    if (!(m > 0.0 && m < top)) continue;
    // Insertion keeps the few marks sorted.
    int at = count++;
    while (at > 0 && marks[at - 1] > m) {
      marks[at] = marks[at - 1];
      --at;
    }
    marks[at] = m;
  }
  // The sides alone decide which cells live; windows only for those.
  Window cellEnd[kMarks];
  bool anyLive = false;
  for (int i = 0; i < count; ++i) cellEnd[i] = sidesAt(l, marks[i]);
  bool live[kMarks] = {};
  for (int i = 0; i + 1 < count; ++i) {
    const Window& a = cellEnd[i];
    const Window& b = cellEnd[i + 1];
    live[i] = a.spare || b.spare || leastDistance(a, b) <= f.dist;
    anyLive = anyLive || live[i];
  }
  if (!anyLive) return false;
  for (int i = 0; i < count; ++i) {
    if ((i > 0 && live[i - 1]) || live[i]) finishWindow(l, cellEnd[i]);
  }

  // Windows of the live cells, with room for the ends of the spare
  // stretches and samples between them and their spare neighbours.
  Window w[kWindows];
  int n = 0;
  auto push = [&](const Window& here) {
    if (n > 0 && here.spare != w[n - 1].spare) {
      w[n] = here;  // found below if it may pay
      w[n].spare = w[n].usable = false;
      w[n++].pending = true;
    }
    w[n++] = here;
  };
  for (int i = 0; i + 1 < count; ++i) {
    const Window& a = cellEnd[i];
    const Window& b = cellEnd[i + 1];
    if (!live[i]) continue;
    if (n == 0 || w[n - 1].vc != a.vc) push(a);
    for (int k = 1; k < kSplit - 1; ++k) push(windowAt(l, a.vc + (b.vc - a.vc) * k / (kSplit - 1)));
    push(b);
  }
  const int sampled = n;

  Choice choices[kChoices];
  int chosen = 0;
  auto add = [&](int i, int j) {
    if (chosen < kChoices && choiceOf(w, i, j, P, choices[chosen])) ++chosen;
  };
  for (int i = 0; i < sampled; ++i) {
    add(i, -1);
    if (i + 1 < sampled) add(i, i + 1);
  }
  double best = kInfinite;
  for (int c = 0; c < chosen; ++c) best = std::min(best, choices[c].periods);

  // An end is worth finding when the shortest sides between its neighbours
  // may give fewer periods. The stretch between it and its spare neighbour
  // is sampled like a cell.
  for (int i = 1; i + 1 < sampled; ++i) {
    if (!w[i].pending) continue;
    const Window& lw = w[i - 1];
    const Window& rw = w[i + 1];
    const double bound = std::min(lw.m1, rw.m1) + std::min(lw.m2, rw.m2);
    if (!(traj_plan_common::periodsCovering(bound, P) < best) || n + kSplit > kWindows) continue;
    const int inside = lw.spare ? i - 1 : i + 1;
    const Window end = domainEnd(l, w[inside], lw.spare ? rw : lw);
    int previous = inside;
    for (int k = 1; k < kSplit; ++k) {
      const int at = n++;
      w[at] = k + 1 < kSplit ? windowAt(l, w[inside].vc + (end.vc - w[inside].vc) * k / (kSplit - 1)) : end;
      add(at, -1);
      add(previous, at);
      previous = at;
    }
  }

  // Shortest first; of equally short ones, the faster cruise (a plan that
  // stands still at vc = 0 only when nothing else fits). Usually the first
  // choice holds, so they are picked one by one rather than sorted.
  auto fastest = [&w](const Choice& c) { return std::max(w[c.first].vc, c.second < 0 ? 0.0 : w[c.second].vc); };
  auto before = [&](const Choice& x, const Choice& y) {
    return x.periods < y.periods || (x.periods == y.periods && fastest(x) > fastest(y));
  };
  for (int left = chosen; left > 0; --left) {
    int pick = 0;
    for (int c = 1; c < left; ++c) {
      if (before(choices[c], choices[pick])) pick = c;
    }
    const Choice ch = choices[pick];
    choices[pick] = choices[left - 1];
    const double T = ch.periods * P;
    Window hit = w[ch.first];
    if (ch.second >= 0 && !solveBetween(l, w[ch.first], w[ch.second], T, hit)) continue;
    if (build(f, segmentsFor(f, hit, T), out) && keepsLimits(plan, out)) return true;
  }
  return false;
}

}  // namespace traj7s
