#include <gtest/gtest.h>

#include "frame_summary.h"
#include "host_options.h"
#include "scene.h"

using namespace selvane::host;

TEST(HostOptions, DefaultsDriveTheRegisteredPluginWithAChase) {
  const auto p = ParseHostOptions({});
  EXPECT_EQ(p.error, "");
  EXPECT_EQ(p.options.progId, "Selvane.clsOutputDriver");
  EXPECT_EQ(p.options.scene, SceneKind::Chase);
  EXPECT_EQ(p.options.channels, 509);
  EXPECT_FALSE(p.options.interfaceSelector);
  EXPECT_FALSE(p.options.configure);
  EXPECT_FALSE(p.options.version);
  EXPECT_TRUE(ParseHostOptions({"--version"}).options.version);
}

TEST(HostOptions, EveryOptionIsTaken) {
  const auto p = ParseHostOptions({"--progid", "X.Y", "--title", "Show Host", "--file", "a.dll", "--interface",
                                   "dmx120", "--configure", "--seconds", "7", "--fps", "30", "--channels", "64",
                                   "--frames-file", "f.txt", "--live", "--zero-after", "3", "--scene", "fade"});
  ASSERT_EQ(p.error, "");
  const HostOptions& o = p.options;
  EXPECT_EQ(o.progId, "X.Y");
  EXPECT_EQ(o.title, "Show Host");
  EXPECT_EQ(o.fileName, "a.dll");
  EXPECT_EQ(o.interfaceSelector, 120);
  EXPECT_TRUE(o.configure);
  EXPECT_EQ(o.seconds, 7);
  EXPECT_EQ(o.fps, 30);
  EXPECT_EQ(o.channels, 64);
  EXPECT_EQ(o.framesFile, "f.txt");
  EXPECT_TRUE(o.liveView);
  EXPECT_EQ(o.zeroAfterFrames, 3);
  EXPECT_EQ(o.scene, SceneKind::Fade);
  EXPECT_EQ(ParseHostOptions({"--interface", "dmx60"}).options.interfaceSelector, 64);
  EXPECT_EQ(ParseHostOptions({"--interface", "DMX-510USB"}).options.interfaceSelector, 510);
}

TEST(HostOptions, StaticSceneTakesItsLevelsUntilTheNextOption) {
  const auto p = ParseHostOptions({"--scene", "static", "1=255", "5=200", "600=300", "--seconds", "2"});
  ASSERT_EQ(p.error, "");
  ASSERT_EQ(p.options.staticLevels.size(), 3u);
  EXPECT_EQ(p.options.staticLevels[1], (std::pair<int32_t, int32_t>{5, 200}));
  EXPECT_EQ(p.options.staticLevels[2], (std::pair<int32_t, int32_t>{600, 300}));
  EXPECT_EQ(p.options.seconds, 2);
}

TEST(HostOptions, BadCommandLinesAreRefusedWithAReason) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--bogus"}, {"--seconds"}, {"--seconds", "0"}, {"--seconds", "2x"},
                                             {"--fps", "-1"}, {"--channels", "513"}, {"--interface", "dmx90"},
                                             {"--scene", "strobe"}, {"--scene", "static"}, {"--scene", "static", "1=x"},
                                             {"--scene", "static", "=5"}, {"--progid", ""}, {"--zero-after", "-2"}}) {
    SCOPED_TRACE(args.front());
    EXPECT_NE(ParseHostOptions(args).error, "");
  }
}

TEST(HostScene, ChaseMovesOneChannelPerFrameAndWraps) {
  HostOptions o;
  o.channels = 509;
  auto levels = SceneLevels(o, 0);
  ASSERT_EQ(levels.size(), 509u);
  EXPECT_EQ(levels[0], 255);
  EXPECT_EQ(levels[508], 128) << "the tail wraps around";
  levels = SceneLevels(o, 10);
  EXPECT_EQ(levels[10], 255);
  EXPECT_EQ(levels[9], 128);
  EXPECT_EQ(levels[8], 48);
  EXPECT_EQ(levels[11], 0);
  EXPECT_EQ(SceneLevels(o, 509)[0], 255);
  o.channels = 1;
  EXPECT_EQ(SceneLevels(o, 5), std::vector<int32_t>{255});
}

TEST(HostScene, FadeGoesUpAndDownWithinTheLevelRange) {
  HostOptions o;
  o.scene = SceneKind::Fade;
  o.fps = 40;
  o.channels = 4;
  EXPECT_EQ(SceneLevels(o, 0)[0], 0);
  EXPECT_EQ(SceneLevels(o, 40)[3], 255);
  EXPECT_EQ(SceneLevels(o, 80)[1], 0);
  for (int64_t f = 0; f < 200; ++f) {
    const auto l = SceneLevels(o, f);
    EXPECT_GE(l[0], 0);
    EXPECT_LE(l[0], 255);
    EXPECT_EQ(l[0], l[3]);
  }
}

TEST(FrameSummary, CountsFramesRateGapsAndLastLevels) {
  const std::string text =
      "1000.000 4 00ff8001\n"
      "1045.000 4 01020304\r\n"
      "\n"
      "garbage line\n"
      "1090.500 4 0a0b0c0d\n"
      "1200.000 3 ff\n"  // wrong length: malformed
      "1135.000 4 1020304f\n";
  const FrameSummary s = SummariseFrames(text);
  EXPECT_EQ(s.frames, 4);
  EXPECT_EQ(s.malformedLines, 2);
  EXPECT_DOUBLE_EQ(s.firstMs, 1000.0);
  EXPECT_DOUBLE_EQ(s.lastMs, 1135.0);
  EXPECT_NEAR(s.framesPerSecond, 3 * 1000.0 / 135.0, 1e-9);
  EXPECT_NEAR(s.longestGapMs, 45.5, 1e-9);
  EXPECT_EQ(s.lastLevels, (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x4f}));
  EXPECT_EQ(LevelsText(s.lastLevels, 16), "10 20 30 4f");
  EXPECT_EQ(LevelsText(s.lastLevels, 2), "10 20");
}

TEST(FrameSummary, StallIsNoFrameAtAllOrNoneNearTheEnd) {
  EXPECT_TRUE(OutputStalled(SummariseFrames(""), 1000, 500));
  const FrameSummary s = SummariseFrames("100 1 00\n145 1 00\n");
  EXPECT_FALSE(OutputStalled(s, 600, 500));
  EXPECT_TRUE(OutputStalled(s, 700, 500));
  EXPECT_EQ(SummariseFrames("100 1 00\n").framesPerSecond, 0);
}

TEST(FrameSummary, LitChannelsNameTheChannelsThatAreOn) {
  std::vector<uint8_t> levels(509, 0);
  EXPECT_EQ(LitChannelsText(levels, 8), "none");
  levels[118] = 0x30;
  levels[119] = 0x80;
  levels[120] = 0xff;
  levels[508] = 1;
  EXPECT_EQ(LitChannelsText(levels, 8), "119=30 120=80 121=ff 509=01");
  EXPECT_EQ(LitChannelsText(levels, 2), "119=30 120=80");
}
