#include "platform/Autostart.h"

#include <gtest/gtest.h>

#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"

using namespace quillbox::platform;
using quillbox::test::EnvGuard;
using quillbox::test::fileExists;
using quillbox::test::readFile;
using quillbox::test::TempDir;

TEST(Autostart, ExecArgumentsAreQuotedAndEscapedForDesktopEntries) {
    EXPECT_EQ(quoteExecArgument("/opt/quillbox/quillbox"), "\"/opt/quillbox/quillbox\"");
    EXPECT_EQ(quoteExecArgument("/home/a b/100%/quillbox"), "\"/home/a b/100%%/quillbox\"");
    // '"' '`' '$' take a backslash inside quotes; every backslash is then doubled.
    EXPECT_EQ(quoteExecArgument("/x\"y`z$w"), "\"/x\\\\\"y\\\\`z\\\\$w\"");
    EXPECT_EQ(quoteExecArgument("/a\\b"), "\"/a\\\\\\\\b\"");
    EXPECT_EQ(quoteExecArgument("/a\nb\tc"), "\"/a\\nb\\tc\"");
}

TEST(Autostart, EntryIsWrittenUnderTheConfigHomeAndRemoved) {
    TempDir root;
    EnvGuard config("XDG_CONFIG_HOME", root.file("cfg"));
    EXPECT_EQ(configHome(), root.file("cfg/"));
    EXPECT_EQ(autostartEntryPath(), root.file("cfg/autostart/quillbox.desktop"));

    ASSERT_TRUE(enableAutostart("/opt/my apps/quillbox").ok());
    const std::string text = readFile(autostartEntryPath());
    EXPECT_NE(text.find("\nExec=\"/opt/my apps/quillbox\" auto\n"), std::string::npos) << text;
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    for (const char* line : {"\nType=Application\n", "\nName=Quillbox\n", "\nTerminal=false\n",
                             "\nX-GNOME-Autostart-enabled=true\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    ASSERT_TRUE(disableAutostart().ok());
    EXPECT_FALSE(fileExists(autostartEntryPath()));
    EXPECT_TRUE(disableAutostart().ok());
}

TEST(Autostart, RelativeOrMissingConfigHomeFallsBackToHome) {
    TempDir root;
    EnvGuard home("HOME", root.path());
    {
        EnvGuard config("XDG_CONFIG_HOME", "relative/path");
        EXPECT_EQ(configHome(), root.file(".config/"));
    }
    EnvGuard config("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(configHome(), root.file(".config/"));
}
