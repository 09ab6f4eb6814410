// The exported contract of the plug-in, exercised through dlopen exactly as a
// host program uses it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include "support/fresh_plugin.h"

namespace {

struct Identity {
  const char* label;
  std::string settings;
  std::string name;
  int type;
};
void PrintTo(const Identity& identity, std::ostream* os) { *os << identity.label; }

class InitHWIdentity : public ::testing::TestWithParam<Identity> {};

}  // namespace

TEST_P(InitHWIdentity, NamesTheLinkKind) {
  FreshPlugin plugin(GetParam().settings);
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  char name[256];
  char model[256];
  memset(name, 0x55, sizeof name);
  memset(model, 0x55, sizeof model);
  int type = -1;
  EXPECT_TRUE(plugin.api.InitHW(name, model, &type));
  EXPECT_STREQ(name, GetParam().name.c_str());
  EXPECT_EQ(static_cast<unsigned char>(name[GetParam().name.size() + 1]), 0x55)
      << "nothing past the name's terminating zero is written";
  EXPECT_EQ(type, GetParam().type);
  const unsigned char expected_model[8] = {0x20, 0x4D, 0x6F, 0x64, 0x2E, 0x20, 0x76, 0x00};
  EXPECT_EQ(memcmp(model, expected_model, 8), 0);
  EXPECT_EQ(static_cast<unsigned char>(model[8]), 0x55);
}

INSTANTIATE_TEST_SUITE_P(
    Links, InitHWIdentity,
    ::testing::Values(Identity{"NoReceiver", "", "Tavrin Rivulet Audio", 4},
                      Identity{"NetworkFlag", "[General]\nnetwork_enable_flag=1\n",
                               "Tavrin Rivulet Network", 3},
                      Identity{"OtherFlagValue", "[General]\nnetwork_enable_flag=2\n",
                               "Tavrin Rivulet Audio", 4}),
    [](const ::testing::TestParamInfo<Identity>& info) { return std::string(info.param.label); });

TEST(Attenuators, ListHasSixteenStepsAndLeavesTheFloatAlonePastTheEnd) {
  FreshPlugin plugin;
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  float att = 99.0f;
  EXPECT_EQ(plugin.api.GetAttenuators(0, &att), 0);
  EXPECT_FLOAT_EQ(att, -10.0f);
  EXPECT_EQ(plugin.api.GetAttenuators(15, &att), 0);
  EXPECT_FLOAT_EQ(att, 35.0f);
  att = 99.0f;
  EXPECT_EQ(plugin.api.GetAttenuators(16, &att), 1);
  EXPECT_EQ(plugin.api.GetAttenuators(-1, &att), 1);
  EXPECT_FLOAT_EQ(att, 99.0f);
}

TEST(Attenuators, SetAttenuatorAcceptsOnlyTheListedSteps) {
  FreshPlugin plugin;
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  EXPECT_EQ(plugin.api.SetAttenuator(15), 0);
  EXPECT_EQ(plugin.api.GetActualAttIdx(), 15);
  EXPECT_EQ(plugin.api.SetAttenuator(16), 1);
  EXPECT_EQ(plugin.api.SetAttenuator(-1), 1);
  EXPECT_EQ(plugin.api.GetActualAttIdx(), 15);
}

TEST(Tuning, StartHWReportsTheBlockSizeAndTheLo) {
  FreshPlugin plugin;
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  EXPECT_EQ(plugin.api.GetHWSR(), 0) << "no rate before the window sets one";
  EXPECT_EQ(plugin.api.StartHW(7050000), 512);
  EXPECT_EQ(plugin.api.GetHWLO(), 7050000);
  plugin.api.StopHW();
  EXPECT_EQ(plugin.api.SetHWLO(7100000), 0);
  EXPECT_EQ(plugin.api.GetHWLO(), 7050000) << "SetHWLO leaves the LO to the window";
  plugin.api.TuneChanged(7041000);
  EXPECT_EQ(plugin.api.GetTune(), 7041000);
  EXPECT_EQ(plugin.api.GetRFGain(), 0) << "no window, no gain";
  EXPECT_EQ(plugin.api.GetStatus(), 0);
}

TEST(CallLog, EveryEntryPointWritesItsLineWhileTheLogIsOpen) {
  FreshPlugin plugin;
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  auto& api = plugin.api;
  char name[256], model[256];
  int type;
  api.InitHW(name, model, &type);
  api.GetStatus();  // before OpenHW: not logged
  api.OpenHW();
  api.SetCallback(nullptr);
  api.StartHW(7050000);
  api.GetHWLO();
  api.GetHWSR();
  api.SetHWLO(-7050000);
  api.GetStatus();
  api.ShowGUI();
  api.HideGUI();
  api.TuneChanged(7041000);
  api.GetTune();
  api.ModeChanged('U');
  api.IFLimitsChanged(-3000, 3000);
  float att = 1.5f;
  api.GetAttenuators(1, &att);
  api.GetAttenuators(16, &att);
  api.GetActualAttIdx();
  api.SetAttenuator(3);
  api.SetAttenuator(20);
  api.VersionInfo("HDSDR", 2, 81);
  api.SetRFGain(24);
  api.GetRFGain();
  api.StopHW();
  api.CloseHW();
  api.GetStatus();  // after CloseHW: not logged
  EXPECT_EQ(plugin.log_text(),
            "Open HW\n"
            "SetCallback\n"
            "Start HW\n"
            "GetHWLO = 7050000\n"
            "GetHWSR =249999\n"  // the window has set the stored rate
            "SetHWLO = -7050000\n"
            "GetStatus\n"
            "ShowGUI\n"
            "HideGUI\n"
            "Tunechanged =7041000\n"
            "GetTune\n"
            "ModeChanged mode = U\n"
            "IFLimitsChanged low=-3000 , high=3000\n"
            "GetAttenuators index=1, att=-7.000000\n"
            "GetAttenuators index=16, att=-7.000000\n"
            "GetActualIdx =4\n"  // the stored RF gain 32, as a step
            "SetAttenuators index=3\n"
            "SetAttenuators index=20\n"
            "VersionInfo HDSDR v.2.81\n"
            "SetRFgain 24\n"
            "GetRFGain\n"
            "Stop HW\n"
            "close HW\n");
}

TEST(CallLog, EachOpenHWStartsAFreshEmptyLog) {
  FreshPlugin plugin;
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  plugin.api.OpenHW();
  plugin.api.GetStatus();
  plugin.api.CloseHW();
  plugin.api.OpenHW();
  EXPECT_EQ(plugin.log_text(), "") << "nothing is flushed until written or closed";
  plugin.api.CloseHW();
  EXPECT_EQ(plugin.log_text(), "Open HW\nclose HW\n");
}

TEST(CallLog, AnUnwritableLogLeavesEveryEntryPointWorking) {
  FreshPlugin plugin;
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  ASSERT_EQ(mkdir((plugin.dir + "/extio_log.txt").c_str(), 0755), 0);  // a directory: fopen fails
  testing::internal::CaptureStderr();
  EXPECT_TRUE(plugin.api.OpenHW());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("Cannot open extio log file\n\r", 0), 0u) << err;
  EXPECT_NE(err.find("Is a directory"), std::string::npos) << err;
  EXPECT_EQ(plugin.api.StartHW(1000000), 512);
  plugin.api.CloseHW();
}
