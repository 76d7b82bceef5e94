#include "config_selection.h"

#include <gtest/gtest.h>

using selvane::ChannelCountForSelection;
using selvane::OptionForChannelCount;
using selvane::OptType;

TEST(ConfigSelection, LoadSelectsTheOptionForTheValue) {
  EXPECT_EQ(OptionForChannelCount(120), OptType::Dmx120);
  EXPECT_EQ(OptionForChannelCount(510), OptType::Dmx510Usb);
  for (int32_t other : {64, 0, 512, -1, 60, 121, 509, INT32_MIN, INT32_MAX})
    EXPECT_EQ(OptionForChannelCount(other), OptType::Dmx60) << other;
}

TEST(ConfigSelection, UnloadTestsDmx120FirstThenDmx510UsbElse64) {
  EXPECT_EQ(ChannelCountForSelection(true, false), 120);
  EXPECT_EQ(ChannelCountForSelection(false, true), 510);
  EXPECT_EQ(ChannelCountForSelection(false, false), 64);
  EXPECT_EQ(ChannelCountForSelection(true, true), 120);  // the order decides
}

TEST(ConfigSelection, LoadThenUnloadKeeps120And510AndTurnsTheRestInto64) {
  for (int32_t value : {120, 510, 64, 0, 512, -3}) {
    const OptType opt = OptionForChannelCount(value);
    const int32_t after = ChannelCountForSelection(opt == OptType::Dmx120, opt == OptType::Dmx510Usb);
    EXPECT_EQ(after, (value == 120 || value == 510) ? value : 64) << value;
  }
}
