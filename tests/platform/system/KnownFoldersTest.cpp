#include "platform/system/KnownFolders.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace qv::system {
namespace {

TEST(KnownFolders, DocumentsFolderFallsBackStepByStep) {
    test::TempDir dir;
    std::string home = (dir.Path() / "home").string();
    std::string config = (dir.Path() / "config").string();
    test::ScopedEnvironment environment;
    environment.Set("HOME", home).Set("XDG_CONFIG_HOME", config);
    environment.Unset("QUORVANE_DOCUMENTS").Unset("XDG_DOCUMENTS_DIR");
    std::u16string home16 = FromNativePath(home);

    EXPECT_EQ(DocumentsFolder(), JoinPath(home16, u"Documents"));

    // xdg-user-dirs' file, with its "$HOME/" form; the last line wins as in the shell.
    CreateFolders(FromNativePath(config));
    WriteFileAtomic(FromNativePath(config + "/user-dirs.dirs"), "# written by xdg-user-dirs-update\n"
                                                                "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                                "XDG_DOCUMENTS_DIR=\"$HOME/Old\"\n"
                                                                "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(DocumentsFolder(), JoinPath(home16, u"Dokumente"));

    // A folder switched off (pointing at home itself) is not used.
    WriteFileAtomic(FromNativePath(config + "/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/\"\n");
    EXPECT_EQ(DocumentsFolder(), JoinPath(home16, u"Documents"));

    environment.Set("XDG_DOCUMENTS_DIR", "/srv/docs/");
    EXPECT_EQ(DocumentsFolder(), u"/srv/docs");
    environment.Set("QUORVANE_DOCUMENTS", "/data/quorvane");
    EXPECT_EQ(DocumentsFolder(), u"/data/quorvane");

    // Without any home in the environment, the password database still gives one.
    environment.Unset("QUORVANE_DOCUMENTS").Unset("XDG_DOCUMENTS_DIR").Unset("HOME").Unset("XDG_CONFIG_HOME");
    EXPECT_FALSE(DocumentsFolder().empty());
    EXPECT_TRUE(IsAbsolutePath(DocumentsFolder()));
}

TEST(KnownFolders, ConfigFolderNeedsAnAbsolutePath) {
    test::ScopedEnvironment environment;
    environment.Set("HOME", "/home/u").Set("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(ConfigFolder(), u"/home/u/.config");
    environment.Set("XDG_CONFIG_HOME", "/etc/xdg-user");
    EXPECT_EQ(ConfigFolder(), u"/etc/xdg-user");
}

} // namespace
} // namespace qv::system
