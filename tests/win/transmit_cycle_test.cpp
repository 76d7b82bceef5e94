// The real timer window and the real vendor bindings, against the doubles
// that sit beside this test program.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <utility>

#include "frm_main.h"
#include "message_pump.h"
#include "mod_main.h"
#include "module_lifetime.h"
#include "vendor_double_client.h"

using selvane::FrmMain;
using selvane::ThreadState;

namespace {

struct TimerWindowTest : testing::Test {
  void SetUp() override {
    thread = selvane::CurrentThreadState();
    ASSERT_NE(thread, nullptr);
    ASSERT_HRESULT_SUCCEEDED(selvane::EnsureFrmMain(*thread, frm));
  }
  void TearDown() override {
    if (frm) frm->StopTimer();
  }
  void Enable(int32_t channelCount) {
    thread->state.ChannelCount = channelCount;
    ASSERT_HRESULT_SUCCEEDED(frm->StartTimer());
    thread->state.OutputActive = -1;
  }

  ThreadState* thread = nullptr;
  FrmMain* frm = nullptr;
};

}  // namespace

TEST_F(TimerWindowTest, IsCreatedOnceStoppedAndCounted) {
  EXPECT_FALSE(frm->TimerRunning());
  EXPECT_GE(selvane::LiveWindowCount(), 1);
  FrmMain* again = nullptr;
  ASSERT_HRESULT_SUCCEEDED(selvane::EnsureFrmMain(*thread, again));
  EXPECT_EQ(again, frm);
  EXPECT_EQ(selvane::CurrentThreadState(), thread);
}

TEST_F(TimerWindowTest, TicksArriveAbout45msApartAndSendDmx120Frames) {
  VendorDoubleClient dmx120(L"DMX120.dll");
  ASSERT_TRUE(dmx120.Loaded());
  dmx120.Reset();
  thread->state.ChannelBuffer[4] = 200;
  Enable(120);
  PumpFor(1000);
  frm->StopTimer();

  const auto calls = dmx120.Calls();
  const auto frames = FrameTimes(calls);
  ASSERT_GE(frames.size(), 15u);
  EXPECT_LE(frames.size(), 25u);
  EXPECT_EQ(calls.size(), frames.size() * 120);
  const double mean = (frames.back() - frames.front()) / static_cast<double>(frames.size() - 1);
  EXPECT_NEAR(mean, 45.0, 8.0);
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].index, static_cast<int32_t>(i % 120));
    EXPECT_EQ(calls[i].threadId, GetCurrentThreadId());
  }
  EXPECT_EQ(calls[4].level, 200);
}

TEST_F(TimerWindowTest, NothingIsSentWhileStoppedOrInactive) {
  VendorDoubleClient dmx60(L"DMX60.dll");
  ASSERT_TRUE(dmx60.Loaded());
  dmx60.Reset();
  thread->state.ChannelCount = 64;
  thread->state.OutputActive = -1;
  PumpFor(200);  // timer stopped
  EXPECT_EQ(dmx60.CallCount(), 0);

  ASSERT_HRESULT_SUCCEEDED(frm->StartTimer());
  EXPECT_TRUE(frm->TimerRunning());
  thread->state.OutputActive = 0;  // running, but output paused
  PumpFor(200);
  EXPECT_EQ(dmx60.CallCount(), 0);

  thread->state.OutputActive = -1;
  EXPECT_TRUE(PumpUntil([&] { return dmx60.FrameCount() >= 2; }, 2000));
  frm->StopTimer();
  EXPECT_FALSE(frm->TimerRunning());
  PumpFor(50);
  const int32_t afterStop = dmx60.CallCount();
  PumpFor(200);
  EXPECT_EQ(dmx60.CallCount(), afterStop);
  EXPECT_EQ(afterStop % 64, 0);
}

TEST_F(TimerWindowTest, SetLevelGetsTheBufferAddressAnd509) {
  VendorDoubleClient dmx510(L"DMX510.dll");
  ASSERT_TRUE(dmx510.Loaded());
  dmx510.Reset();
  thread->state.ChannelBuffer[0] = 11;
  thread->state.ChannelBuffer[4] = 200;
  Enable(510);
  ASSERT_TRUE(PumpUntil([&] { return dmx510.CallCount() >= 3; }, 2000));
  frm->StopTimer();
  for (const auto& call : dmx510.Calls()) {
    EXPECT_EQ(call.address, reinterpret_cast<uintptr_t>(&thread->state.ChannelBuffer[0]));
    EXPECT_EQ(call.count, 509);
    EXPECT_EQ(call.levels[0], 11);
    EXPECT_EQ(call.levels[4], 200);
  }
}

TEST_F(TimerWindowTest, AZeroResultPausesOutputUntilReenabled) {
  VendorDoubleClient dmx120(L"DMX120.dll");
  ASSERT_TRUE(dmx120.Loaded());
  dmx120.Reset();
  dmx120.SetResult(119, 0);
  Enable(120);
  PumpFor(300);
  EXPECT_EQ(dmx120.CallCount(), 120) << "one full tick, then paused";
  EXPECT_EQ(thread->state.OutputActive, 0);
  EXPECT_TRUE(frm->TimerRunning());
  dmx120.SetResult(119, 1);
  thread->state.OutputActive = -1;
  EXPECT_TRUE(PumpUntil([&] { return dmx120.CallCount() >= 240; }, 2000));
}

// The guarded call loop against a real library: a zero in mid-frame does not
// end the frame, and the last call's low word is what stays in OutputActive.
TEST_F(TimerWindowTest, AZeroInMidFrameSendsTheRestAndTheLastLowWordStays) {
  VendorDoubleClient dmx60(L"DMX60.dll");
  ASSERT_TRUE(dmx60.Loaded());
  dmx60.Reset();
  dmx60.SetResult(5, 0);
  dmx60.SetResult(63, 0x10007);
  for (int i = 0; i < 64; ++i) thread->state.ChannelBuffer[i] = static_cast<uint8_t>(200 - i);
  Enable(64);
  ASSERT_TRUE(PumpUntil([&] { return dmx60.FrameCount() >= 2; }, 2000));
  frm->StopTimer();
  EXPECT_EQ(thread->state.OutputActive, 7);
  const auto calls = dmx60.Calls();
  ASSERT_EQ(calls.size() % 64, 0u) << "every frame whole";
  for (size_t i = 0; i < calls.size(); ++i) {
    ASSERT_EQ(calls[i].index, static_cast<int32_t>(i % 64)) << i;
    ASSERT_EQ(calls[i].level, 200 - static_cast<int32_t>(i % 64)) << i;
  }
}

namespace {

struct OtherThreadView {
  ThreadState* state = nullptr;
  bool zeroFilled = false;
};

DWORD WINAPI InspectOwnState(LPVOID param) {
  auto* view = static_cast<OtherThreadView*>(param);
  view->state = selvane::CurrentThreadState();
  const auto* bytes = reinterpret_cast<const uint8_t*>(&view->state->state);
  view->zeroFilled = std::all_of(bytes, bytes + sizeof view->state->state, [](uint8_t b) { return b == 0; });
  selvane::ReleaseCurrentThreadState();
  return 0;
}

}  // namespace

TEST(ThreadStateTest, EachThreadGetsItsOwnZeroFilledState) {
  ThreadState* mine = selvane::CurrentThreadState();
  ASSERT_NE(mine, nullptr);
  mine->state.ChannelBuffer[0] = 9;
  OtherThreadView other;
  HANDLE t = CreateThread(nullptr, 0, InspectOwnState, &other, 0, nullptr);
  ASSERT_NE(t, nullptr);
  WaitForSingleObject(t, 5000);
  CloseHandle(t);
  EXPECT_NE(other.state, nullptr);
  EXPECT_NE(other.state, mine);
  EXPECT_TRUE(other.zeroFilled);
  EXPECT_EQ(mine->state.ChannelBuffer[0], 9);
}
