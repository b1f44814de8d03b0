// The login item's entry as the desktop reads it: GLib launches it, and the program starts
// with --login whatever its path holds; what lies where the entry is written first is not
// written through.
#include "platform/linux/autostart_login_items.h"

#include "test_support.h"

#include <gio/gdesktopappinfo.h>

namespace tessary {
namespace {

class LoginItemEntryTest : public test::ConfigFolderTest {};

TEST_F(LoginItemEntryTest, TheDesktopStartsTheProgramWhateverItsPath)
{
    const fs::path program =
        scratchFolder() / "\"quoted\" 'single' $HOME `x` back\\slash\ttab" / "tessary";
    fs::create_directories(program.parent_path());
    std::ofstream(program) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.part\" && mv \"$0.part\" "
                              "\"$0.args\"\n";
    fs::permissions(program, fs::perms::owner_all);
    const fs::path entry = AutostartLoginItems::entryPath();
    const fs::path outside = scratchFolder() / "outside";
    std::ofstream(outside) << "mine";
    fs::create_directories(entry.parent_path());
    fs::create_symlink(outside, entry.string() + ".new");

    AutostartLoginItems(program.string()).registerApp();
    EXPECT_EQ(test::readFile(outside), "mine") << "written through a link";
    g_autoptr(GDesktopAppInfo) info = g_desktop_app_info_new_from_filename(entry.c_str());
    ASSERT_NE(info, nullptr) << test::readFile(entry);
    g_autoptr(GError) error = nullptr;
    EXPECT_TRUE(g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error))
        << (error != nullptr ? error->message : "") << "\n"
        << test::readFile(entry);
    EXPECT_TRUE(test::waitUntil([&] { return fs::exists(program.string() + ".args"); }))
        << test::readFile(entry);
    EXPECT_EQ(test::readFile(program.string() + ".args"), "--login\n");
}

} // namespace
} // namespace tessary
