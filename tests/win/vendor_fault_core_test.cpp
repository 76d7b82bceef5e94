// The real bindings when a vendor library is missing or lacks its entry point.
// This program lives in a folder without the doubles; it copies them in itself.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fp_state.h"
#include "frm_main.h"
#include "message_pump.h"
#include "mod_main.h"
#include "vendor_double_client.h"
#include "vendor_library_loader.h"

#ifndef SELVANE_DOUBLES_DIR
#error "SELVANE_DOUBLES_DIR must name the folder of the vendor doubles"
#endif

namespace {

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

std::wstring DoublePath(const wchar_t* name) {
  std::wstring dir = SELVANE_DOUBLES_DIR;
  for (auto& c : dir)
    if (c == L'/') c = L'\\';
  return dir + L"\\" + name;
}

struct VendorFaultTest : testing::Test {
  void SetUp() override {
    thread = selvane::CurrentThreadState();
    ASSERT_HRESULT_SUCCEEDED(selvane::EnsureFrmMain(*thread, frm));
  }
  void TearDown() override { frm->StopTimer(); }

  void Place(const wchar_t* source, const wchar_t* asName) {
    ASSERT_TRUE(CopyFileW(DoublePath(source).c_str(), (OwnFolder() + asName).c_str(), FALSE))
        << "copy failed: " << GetLastError();
  }
  void Remove(const wchar_t* name) { DeleteFileW((OwnFolder() + name).c_str()); }
  bool Present(const wchar_t* name) {
    return GetFileAttributesW((OwnFolder() + name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  void Enable(int32_t channelCount) {
    thread->state.ChannelCount = channelCount;
    ASSERT_HRESULT_SUCCEEDED(frm->StartTimer());
    thread->state.OutputActive = -1;
  }

  selvane::ThreadState* thread = nullptr;
  selvane::FrmMain* frm = nullptr;
};

}  // namespace

TEST_F(VendorFaultTest, MissingLibraryPausesOutputAndTheNextEnableRecovers) {
  Remove(L"DMX60.dll");
  ASSERT_FALSE(Present(L"DMX60.dll"));
  Enable(0);
  PumpFor(300);
  EXPECT_EQ(thread->state.OutputActive, 0) << "output pauses instead of failing every tick";
  EXPECT_TRUE(frm->TimerRunning());
  EXPECT_EQ(GetModuleHandleW(L"DMX60.dll"), nullptr);

  Place(L"DMX60.dll", L"DMX60.dll");
  PumpFor(150);
  EXPECT_EQ(GetModuleHandleW(L"DMX60.dll"), nullptr) << "no new attempt while paused";
  thread->state.OutputActive = -1;  // Enable
  ASSERT_TRUE(PumpUntil([] { return GetModuleHandleW(L"DMX60.dll") != nullptr; }, 2000));
  VendorDoubleClient dmx60(L"DMX60.dll");
  ASSERT_TRUE(dmx60.Loaded());
  EXPECT_TRUE(PumpUntil([&] { return dmx60.FrameCount() >= 2; }, 2000));
  EXPECT_NE(thread->state.OutputActive, 0);
}

TEST_F(VendorFaultTest, LibraryWithoutItsEntryPointPausesAndIsNotKeptLoaded) {
  Remove(L"DMX120.dll");
  Place(L"NoEntry.dll", L"DMX120.dll");
  Enable(120);
  PumpFor(300);
  EXPECT_EQ(thread->state.OutputActive, 0);
  EXPECT_EQ(GetModuleHandleW(L"DMX120.dll"), nullptr) << "a failed binding caches nothing";

  Remove(L"DMX120.dll");
  Place(L"DMX120.dll", L"DMX120.dll");
  thread->state.OutputActive = -1;
  ASSERT_TRUE(PumpUntil([] { return GetModuleHandleW(L"DMX120.dll") != nullptr; }, 2000));
  VendorDoubleClient dmx120(L"DMX120.dll");
  ASSERT_TRUE(dmx120.Loaded());
  EXPECT_TRUE(PumpUntil([&] { return dmx120.FrameCount() >= 1; }, 2000));
}

namespace {

// The loader of Windows 7 without KB2533623: it refuses the search flags.
struct LoaderWithoutSearchFlags {
  static inline std::vector<std::pair<std::wstring, DWORD>> calls;
  static HMODULE WINAPI Load(LPCWSTR name, HANDLE file, DWORD flags) {
    calls.emplace_back(name, flags);
    if (flags & 0xFFFFFF00u) {  // LOAD_LIBRARY_SEARCH_*
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    return LoadLibraryExW(name, file, flags);
  }
};

bool IsFullPath(const std::wstring& name) { return name.size() > 3 && name[1] == L':' && name[2] == L'\\'; }

}  // namespace

TEST_F(VendorFaultTest, WithoutTheSearchFlagsLibrariesLoadByFullPathOnly) {
  auto& calls = LoaderWithoutSearchFlags::calls;
  Place(L"DMX60.dll", L"DMX60.dll");
  calls.clear();
  HMODULE loaded = selvane::LoadVendorLibrary(L"DMX60.dll", &LoaderWithoutSearchFlags::Load);
  ASSERT_NE(loaded, nullptr) << "the library beside the plug-in loads without the search flags";
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().first, OwnFolder() + L"DMX60.dll");
  EXPECT_EQ(calls.back().second, static_cast<DWORD>(LOAD_WITH_ALTERED_SEARCH_PATH));
  FreeLibrary(loaded);

  // Nowhere to be found: every place is tried by full path, the system folder
  // last, and never by bare name (the current directory, PATH).
  calls.clear();
  EXPECT_EQ(selvane::LoadVendorLibrary(L"NoSuchVendor.dll", &LoaderWithoutSearchFlags::Load), nullptr);
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  std::vector<std::wstring> withoutFlags;
  for (const auto& [name, flags] : calls) {
    if (flags & 0xFFFFFF00u) continue;  // refused
    EXPECT_TRUE(IsFullPath(name)) << "loaded by bare name: " << std::string(name.begin(), name.end());
    withoutFlags.push_back(name);
  }
  ASSERT_EQ(withoutFlags.size(), 3u) << "own folder, application folder, system folder";
  EXPECT_EQ(withoutFlags.front(), OwnFolder() + L"NoSuchVendor.dll");
  EXPECT_EQ(withoutFlags.back(), std::wstring(system) + L"\\NoSuchVendor.dll");
}

// A Delphi-built library sets the x87 control word and unmasks the SSE
// exceptions in its DllMain: the loading thread's state is put back.
TEST_F(VendorFaultTest, LoadingALibraryThatChangesTheFloatingPointStateLeavesTheCallersAlone) {
  Remove(L"DMX60.dll");
  Place(L"FpAtLoad.dll", L"DMX60.dll");
  const FpState before = ReadFpState();
  HMODULE loaded = selvane::LoadVendorLibrary(L"DMX60.dll");
  const FpState after = ReadFpState();
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(after.x87Control, before.x87Control) << std::hex << after.x87Control;
  EXPECT_EQ(after.mxcsr, before.mxcsr) << std::hex << after.mxcsr;
  EXPECT_EQ(after.x87Tags, 0xFFFF) << std::hex << after.x87Tags;
  FreeLibrary(loaded);
}
