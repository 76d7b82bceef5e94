// A module's path, and why it could not be had: the registration and the type
// library report the system's reason, not a want of memory.
#include <gtest/gtest.h>

#include <string>

#include "module_lifetime.h"

namespace {

using selvane::HeapText;
using selvane::ModuleFileName;

TEST(ModuleFileNameTest, GivesTheApplicationsFullPath) {
  wchar_t expected[4096];
  const DWORD n = GetModuleFileNameW(nullptr, expected, 4096);
  ASSERT_GT(n, 0u);
  HeapText path;
  ASSERT_EQ(ModuleFileName(nullptr, path), S_OK);
  EXPECT_EQ(std::wstring(path.view()), std::wstring(expected, n));
  EXPECT_EQ(path.c_str()[path.size()], L'\0');
}

TEST(ModuleFileNameTest, AHandleThatNamesNoModuleFailsWithTheSystemsReason) {
  // Any address inside this program's stack is no module's handle.
  int local = 0;
  const HMODULE none = reinterpret_cast<HMODULE>(&local);
  wchar_t buffer[MAX_PATH];
  SetLastError(ERROR_SUCCESS);
  ASSERT_EQ(GetModuleFileNameW(none, buffer, MAX_PATH), 0u);
  const DWORD reason = GetLastError();
  ASSERT_NE(reason, static_cast<DWORD>(ERROR_SUCCESS)) << "the system gave no reason";

  HeapText path;
  SetLastError(ERROR_SUCCESS);
  const HRESULT hr = ModuleFileName(none, path);
  EXPECT_EQ(hr, HRESULT_FROM_WIN32(reason));
  EXPECT_NE(hr, E_OUTOFMEMORY);
}

}  // namespace
