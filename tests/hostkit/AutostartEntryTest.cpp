#include <filesystem>
#include <string>

#include "contracts/Hostkit.h"
#include "platform/Autostart.h"
#include "platform/ProgramFolder.h"
#include "tests/hostkit/HostkitFixture.h"

using namespace quillbox;
using quillbox::test::fileExists;
using quillbox::test::readFile;

class AutostartEntryTest : public test::HostkitTest {};

TEST_F(AutostartEntryTest, AutoRunOnWritesTheEntryAndAutoRunOffRemovesIt) {
    const std::string entry = root().file("config/autostart/quillbox.desktop");
    AutoRunOn();
    ASSERT_TRUE(fileExists(entry));
    // The program that runs, wherever QUILLBOX_HOME puts its data.
    EXPECT_EQ(readFile(entry), "[Desktop Entry]\nType=Application\nName=Quillbox\nExec=\"" +
                                   platform::executableFolder() +
                                   "quillbox\" auto\nTerminal=false\n"
                                   "X-GNOME-Autostart-enabled=true\n");
    AutoRunOn();
    EXPECT_EQ(std::filesystem::directory_iterator(root().file("config/autostart"))->path(),
              std::filesystem::path(entry));

    AutoRunOff();
    EXPECT_FALSE(fileExists(entry));
    AutoRunOff();
    EXPECT_FALSE(fileExists(entry));
}
