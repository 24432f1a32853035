// Conversion of the external axis' project documents into drive pulses.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tramlet/drive_params.h"
#include "tramlet/int32_saturate.h"

using tramlet_detail::convertParams;
using tramlet_detail::DriveParams;

namespace {

rapidjson::Document parse(const std::string& text) {
  rapidjson::Document doc;
  doc.Parse(text.c_str());
  EXPECT_FALSE(doc.HasParseError()) << text;
  return doc;
}

struct Docs {
  std::string structure;
  std::string playback = R"({"velocity":[500],"acceleration":[1000]})";
  std::string teach = R"({"velocity":[100],"acceleration":[200]})";
  std::string stop = R"({"acceleration":[2000]})";
};

int convert(const Docs& d, DriveParams& p) {
  const auto s = parse(d.structure);
  const auto pb = parse(d.playback);
  const auto t = parse(d.teach);
  const auto st = parse(d.stop);
  return convertParams(s, pb, t, st, p);
}

std::string structure(const std::string& type, const std::string& motors, const std::string& limits) {
  std::string s = R"({"auxJoint":1,"type":)" + type;
  if (!motors.empty()) s += R"(,"motors":)" + motors;
  if (!limits.empty()) s += R"(,"limits":)" + limits;
  return s + "}";
}

const std::string kMotor =
    R"([{"encoder":{"bitNum":17},"motor":{"rated":3000,"inverted":true},"gearBox":{"num":1,"den":50}}])";

}  // namespace

TEST(TramletParams, ConvertsDocumentsIntoPulses) {
  struct Case {
    const char* name;
    Docs docs;
    DriveParams want;
  };
  auto with = [](auto f) {
    DriveParams p;
    f(p);
    return p;
  };
  const std::vector<Case> cases = {
      // 18204 pulses per degree; maximum velocity 360 limits the playback 500.
      {"rotary",
       {structure("[0]", kMotor, "[[-10,100]]")},
       with([](DriveParams& p) {
         p.pulsesPerUnit = 18204;
         p.ratedSpeed = 3000;
         p.polarity = 0xC0;
         p.limitNeg = -182040;
         p.limitPos = 1820400;
         p.maxPtpSpeed = p.ptpSpeed = 18204 * 360;
         p.maxPtpAcc = p.ptpAcc = 18204000;
         p.maxJogSpeed = p.jogSpeed = 1820400;
         p.maxJogAcc = p.jogAcc = 3640800;
         p.stopDecel = 36408000;
       })},
      // Linear, num 10 den 1: 13107 pulses per unit, maximum velocity 500.
      {"linear",
       {structure("[1]",
                  R"([{"encoder":{"bitNum":17},"motor":{"rated":3000,"inverted":false},"gearBox":{"num":10,"den":1}}])",
                  ""),
        R"({"velocity":[600],"acceleration":[1]})", R"({"velocity":[400],"acceleration":[2]})",
        R"({"acceleration":[3]})"},
       with([](DriveParams& p) {
         p.pulsesPerUnit = 13107;
         p.ratedSpeed = 3000;
         p.maxPtpSpeed = p.ptpSpeed = 13107 * 500;
         p.maxPtpAcc = p.ptpAcc = 13107;
         p.maxJogSpeed = p.jogSpeed = 13107 * 400;
         p.maxJogAcc = p.jogAcc = 26214;
         p.stopDecel = 39321;
       })},
      // No motors: nothing computed from the pulses, maximum velocity 18000.
      {"no motors", {structure("[0]", "", "[[-10,100]]")}, DriveParams{}},
      // "inverted" must be a boolean; the encoder defaults to 17 bits.
      {"inverted as number",
       {structure("[0]", R"([{"motor":{"rated":3000,"inverted":1},"gearBox":{"num":1,"den":50}}])", "")},
       with([](DriveParams& p) {
         p.pulsesPerUnit = 18204;
         p.ratedSpeed = 3000;
         p.maxPtpSpeed = p.ptpSpeed = 18204 * 360;
         p.maxPtpAcc = p.ptpAcc = 18204000;
         p.maxJogSpeed = p.jogSpeed = 1820400;
         p.maxJogAcc = p.jogAcc = 3640800;
         p.stopDecel = 36408000;
       })},
      // A gear box of num 0 and a bitNum of 40 count as absent.
      {"num 0",
       {structure("[0]", R"([{"encoder":{"bitNum":40},"motor":{"rated":3000},"gearBox":{"num":0,"den":50}}])",
                  "[[-10,100]]")},
       with([](DriveParams& p) { p.ratedSpeed = 3000; })},
      {"bitNum 40",
       {structure("[1]", R"([{"encoder":{"bitNum":40},"motor":{"rated":60},"gearBox":{"num":1,"den":1}}])", ""),
        R"({"velocity":[2]})", R"({})", R"({})"},
       with([](DriveParams& p) {
         p.pulsesPerUnit = 131072;
         p.ratedSpeed = 60;
         p.maxPtpSpeed = p.ptpSpeed = 131072;  // maximum velocity 1 unit/s
       })},
      // Limits beyond the int32 range saturate.
      {"huge limits",
       {structure("[0]", kMotor, "[[-1e12,1e12]]"), "{}", "{}", "{}"},
       with([](DriveParams& p) {
         p.pulsesPerUnit = 18204;
         p.ratedSpeed = 3000;
         p.polarity = 0xC0;
         p.limitNeg = std::numeric_limits<std::int32_t>::min();
         p.limitPos = std::numeric_limits<std::int32_t>::max();
       })},
      // Wrong shapes count as absent: a fraction, an empty list, a non-number.
      {"wrong shapes",
       {structure("[0]", R"([{"encoder":{"bitNum":17.5},"motor":{"rated":"3000"},"gearBox":{"num":1}}])",
                  R"([["a",5]])"),
        R"({"velocity":[],"acceleration":"1"})", R"({"velocity":{"0":1}})", R"([1,2])"},
       DriveParams{}},
  };
  for (const Case& c : cases) {
    DriveParams got;
    ASSERT_EQ(convert(c.docs, got), 0) << c.name;
    const DriveParams& w = c.want;
    EXPECT_EQ(got.pulsesPerUnit, w.pulsesPerUnit) << c.name;
    EXPECT_EQ(got.ratedSpeed, w.ratedSpeed) << c.name;
    EXPECT_EQ(got.polarity, w.polarity) << c.name;
    EXPECT_EQ(got.limitNeg, w.limitNeg) << c.name;
    EXPECT_EQ(got.limitPos, w.limitPos) << c.name;
    EXPECT_EQ(got.maxPtpSpeed, w.maxPtpSpeed) << c.name;
    EXPECT_EQ(got.maxPtpAcc, w.maxPtpAcc) << c.name;
    EXPECT_EQ(got.maxJogSpeed, w.maxJogSpeed) << c.name;
    EXPECT_EQ(got.maxJogAcc, w.maxJogAcc) << c.name;
    EXPECT_EQ(got.stopDecel, w.stopDecel) << c.name;
    EXPECT_EQ(got.ptpSpeed, w.ptpSpeed) << c.name;
    EXPECT_EQ(got.ptpAcc, w.ptpAcc) << c.name;
    EXPECT_EQ(got.jogSpeed, w.jogSpeed) << c.name;
    EXPECT_EQ(got.jogAcc, w.jogAcc) << c.name;
  }
}

TEST(TramletParams, StructureChecksFailTheLoad) {
  const std::vector<std::string> bad = {
      R"({"auxJoint":0,"type":[0]})",   R"({"auxJoint":1.5,"type":[0]})", R"({"type":[0]})",
      R"({"auxJoint":1,"type":[2]})",   R"({"auxJoint":1,"type":0})",     R"({"auxJoint":1,"type":[]})",
      R"({"auxJoint":1,"type":[0.5]})", R"({"auxJoint":1})",              R"([1])",
  };
  for (const std::string& s : bad) {
    DriveParams p;
    p.maxPtpSpeed = 7;
    EXPECT_EQ(convert(Docs{s}, p), -1) << s;
    EXPECT_EQ(p.maxPtpSpeed, 7) << s << ": later documents must not be taken";
  }
}

TEST(TramletParams, ValuesAbsentFromAReloadKeepTheEarlierOnes) {
  DriveParams p;
  ASSERT_EQ(convert(Docs{structure("[0]", kMotor, "[[-10,100]]")}, p), 0);
  // No motors and no limits: pulses per unit, rated speed and limits stay;
  // the maximum velocity falls back to 18000, so playback 500 is not limited.
  ASSERT_EQ(convert(Docs{structure("[0]", "", ""), R"({"velocity":[500]})", "{}", "{}"}, p), 0);
  EXPECT_EQ(p.pulsesPerUnit, 18204);
  EXPECT_EQ(p.ratedSpeed, 3000);
  EXPECT_EQ(p.limitNeg, -182040);
  EXPECT_EQ(p.maxPtpSpeed, 18204 * 500);
  EXPECT_EQ(p.ptpSpeed, 18204 * 500);
  EXPECT_EQ(p.stopDecel, 36408000);
}

TEST(TramletParams, SaturatingConversion) {
  using tramlet_detail::saturateInt32;
  EXPECT_EQ(saturateInt32(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(saturateInt32(std::numeric_limits<double>::infinity()), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(saturateInt32(-std::numeric_limits<double>::infinity()), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(saturateInt32(2147483647.9), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(saturateInt32(-2147483648.0), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(saturateInt32(-182040.9), -182040);
}
