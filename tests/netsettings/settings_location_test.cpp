// Which settings file is in force, under Wine: beside the libraries first,
// then the user's own; and whether a save there can work.
#include <windows.h>

#include <gtest/gtest.h>

#include "sandbox.h"
#include "settings_location.h"

namespace {

using selvane::net::LocateSettings;
using selvane::net::SettingsLocation;

TEST(SettingsLocation, AFileBesideTheLibrariesWinsOverTheUsersOwn) {
  Sandbox sandbox(L"where-beside");
  Sandbox::Write(sandbox.UserIni(), "[Output]\r\n");
  Sandbox::Write(sandbox.BesideIni(), "[Output]\r\n");
  for (const std::wstring& folder : {sandbox.Program(), sandbox.Program() + L"\\"}) {
    SettingsLocation where;
    ASSERT_TRUE(LocateSettings(folder.c_str(), where));
    EXPECT_EQ(sandbox.BesideIni(), where.path);
    EXPECT_TRUE(where.besideLibraries);
    EXPECT_TRUE(where.writable);
  }
  ASSERT_TRUE(SetFileAttributesW(sandbox.BesideIni().c_str(), FILE_ATTRIBUTE_READONLY));
  SettingsLocation locked;
  ASSERT_TRUE(LocateSettings(sandbox.Program().c_str(), locked));
  EXPECT_TRUE(locked.besideLibraries);
  EXPECT_FALSE(locked.writable);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((sandbox.BesideIni() + L".probe").c_str()));
}

TEST(SettingsLocation, WithoutOneBesideTheLibrariesTheUsersOwnWhetherOrNotItExists) {
  Sandbox sandbox(L"where-user");
  // A folder of that name is no settings file.
  CreateDirectoryW(sandbox.BesideIni().c_str(), nullptr);
  SettingsLocation where;
  ASSERT_TRUE(LocateSettings(sandbox.Program().c_str(), where));
  EXPECT_EQ(sandbox.UserIni(), where.path);
  EXPECT_FALSE(where.besideLibraries);
  EXPECT_TRUE(where.writable) << "a save makes the folder";

  Sandbox::Write(sandbox.UserIni(), "[Output]\r\n");
  ASSERT_TRUE(LocateSettings(sandbox.Program().c_str(), where));
  EXPECT_EQ(sandbox.UserIni(), where.path);
  EXPECT_TRUE(where.writable);

  SetEnvironmentVariableW(L"APPDATA", nullptr);
  EXPECT_FALSE(LocateSettings(sandbox.Program().c_str(), where));
}

}  // namespace
