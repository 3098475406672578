#include "notify/sound_alert_win32.h"
#include "util/errors.h"
#include "util/handles_win32.h"
#include "util/registry_win32.h"
#include "util/shell_paths_win32.h"
#include "util/unicode_win32.h"

#include <gtest/gtest.h>

namespace pigeonet {
namespace {

TEST(SoundFolderListing, GivesTheFullPathWithoutTrailingSeparatorAndEveryEntry) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"pigeonet-list-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring file = folder + L"\\Звук.wav";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_SYSTEM, nullptr));

    const auto listing = ListFolder(Narrow(folder) + "\\");
    ASSERT_TRUE(listing.has_value());
    EXPECT_EQ(listing->first, Narrow(folder));
    bool found = false;
    for (const FolderEntry& entry : listing->second) {
        if (entry.name == "Звук.wav") {
            found = true;
            EXPECT_TRUE(entry.system);
            EXPECT_FALSE(entry.isFolder);
        }
    }
    EXPECT_TRUE(found);
    EXPECT_TRUE(SoundFileNames(listing->second).empty()) << "system files are left out";

    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_FALSE(ListFolder(Narrow(folder)).has_value());
}

TEST(SoundFolderListing, KeepsTheSeparatorOfADriveRoot) {
    const auto listing = ListFolder("C:\\");
    ASSERT_TRUE(listing.has_value());
    EXPECT_EQ(listing->first, "C:\\");
}

TEST(ShellFolders, ReadTheNamedFolderWithATrailingSeparator) {
    const wchar_t* root = L"Software\\PigeonetTests\\ShellFolders";
    RegDeleteTreeW(HKEY_CURRENT_USER, root);
    UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, root, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    Win32RegistryHive hive(key.get());
    EXPECT_EQ(ShellFolderPath(hive, "Fonts"), "\\");
    const std::string folders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    EXPECT_FALSE(hive.KeyExists(folders)) << "reading creates nothing";
    ASSERT_TRUE(hive.CreateKey(folders));
    ASSERT_TRUE(hive.WriteText(folders, "Fonts", "C:\\windows\\Fonts"));
    EXPECT_EQ(ShellFolderPath(hive, "Fonts"), "C:\\windows\\Fonts\\");
    UniqueRegKey shell;
    ASSERT_EQ(RegOpenKeyExW(key.get(), Widen(folders).c_str(), 0, KEY_ALL_ACCESS, shell.put()), ERROR_SUCCESS);
    const DWORD number = 1;
    RegSetValueExW(shell.get(), L"Odd", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    EXPECT_THROW(ShellFolderPath(hive, "Odd"), AppError);
    shell.reset();
    key.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, root);

    EXPECT_FALSE(TempFolderPath().empty());
    EXPECT_EQ(TempFolderPath().back(), '\\');
}

}  // namespace
}  // namespace pigeonet
