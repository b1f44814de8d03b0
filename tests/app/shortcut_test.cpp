// The rules behind the global shortcut that need no desktop: which tab of a window is the
// front folder, which accelerators GNOME treats as one, and the GNOME keybinding written to
// a private settings file.
#include "filemanager/front_folder_query.h"
#include "platform/linux/gnome_keybinding.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <gio/gio.h>

namespace tessary {
namespace {

TEST(FrontFolder, TheTitleTellsWhichTabIsInFront)
{
    using Kind = TabChoice::Kind;
    const std::string home = "/home/u";
    const struct {
        const char* name;
        std::vector<std::string> tabs;
        std::string title;
        Kind kind;
        std::string folder;
    } rows[] = {
        {"one tab", {"file:///srv/My%20Notes"}, "anything", Kind::folder, "/srv/My Notes"},
        {"one search tab", {"x-nautilus-search://0/"}, "Search", Kind::notAFolder, ""},
        {"title names a tab", {"file:///a/x", "file:///b/y"}, "y", Kind::folder, "/b/y"},
        {"same folder twice", {"file:///a/x", "file:///a/x/"}, "x", Kind::folder, "/a/x"},
        {"two folders of that name", {"file:///a/x", "file:///b/x"}, "x", Kind::unknown, ""},
        {"home titled by its own word",
         {"file:///a/x", "file:///home/u"},
         "Home",
         Kind::folder,
         home},
        {"trash tab in front", {"file:///a/x", "trash:///"}, "Trash", Kind::notAFolder, ""},
        {"trash or home: cannot tell", {"trash:///", "file:///home/u"}, "Trash", Kind::unknown, ""},
        {"root has no name to match", {"file:///", "file:///a/x"}, "Computer", Kind::unknown, ""},
        {"no tabs", {}, "x", Kind::unknown, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TabChoice choice = chooseTab(row.tabs, row.title, home);
        EXPECT_EQ(choice.kind, row.kind);
        EXPECT_EQ(choice.folder, std::filesystem::path(row.folder));
    }
}

TEST(GnomeAccelerators, SpellingsOfOneShortcutCompareEqual)
{
    const struct {
        const char* a;
        const char* b;
        bool same;
    } rows[] = {
        {"<Control><Alt>n", "<Primary><Alt>N", true},
        {"<Ctrl><Mod1>n", "<Alt><Control>n", true},
        {"<Super>e", "<Mod4>E", true},
        {"<Control><Alt>n", "<Control><Alt><Shift>n", false},
        {"<Control><Alt>n", "<Control><Alt>m", false},
        {"<Control>n", "n", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " / " + row.b);
        const auto a = parseAccelerator(row.a);
        ASSERT_TRUE(a);
        EXPECT_EQ(a == parseAccelerator(row.b), row.same);
    }
    for (const char* none : {"", "disabled", "<Control>", "<Control", "<Bogus>n", "<Alt>n<x>"}) {
        EXPECT_FALSE(parseAccelerator(none)) << none;
    }
}

// One test, one process: GSettings keeps the backend it made first.
class GnomeKeybindingTest : public test::ConfigFolderTest {};

TEST_F(GnomeKeybindingTest, AddsItsOwnEntryUnlessTakenAndRemovesExactlyIt)
{
    setenv("GSETTINGS_BACKEND", "keyfile", 1);
    if (!GnomeKeybinding::available()) {
        GTEST_SKIP() << "GNOME's media-keys schema is not installed";
    }
    const char* other = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/c0/";
    GSettings* mediaKeys = g_settings_new("org.gnome.settings-daemon.plugins.media-keys");
    const gchar* list[] = {other, nullptr};
    g_settings_set_strv(mediaKeys, "custom-keybindings", list);
    GSettings* otherEntry = g_settings_new_with_path(
        "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding", other);
    g_settings_set_string(otherEntry, "binding", "<Primary><Alt>t");
    GSettings* wm = g_settings_new("org.gnome.desktop.wm.keybindings");
    const gchar* workspace[] = {"<Super><Alt>k", nullptr};
    g_settings_set_strv(wm, "switch-to-workspace-1", workspace);

    GnomeKeybinding binding("/usr/bin/tessary --shortcut");
    const struct {
        const char* accelerator;
        ShortcutRegistration::Outcome outcome;
    } rows[] = {
        {"<Control><Alt>t", ShortcutRegistration::Outcome::inUse}, // another custom binding
        {"<Alt><Super>k", ShortcutRegistration::Outcome::inUse},   // the window manager's
        {"<Control><Alt>n", ShortcutRegistration::Outcome::registered},
        {"<Control><Alt>n", ShortcutRegistration::Outcome::registered}, // its own entry again
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.accelerator);
        binding.remove();
        EXPECT_EQ(binding.add({0, "", row.accelerator}).outcome, row.outcome);
    }
    GSettings* entry =
        g_settings_new_with_path("org.gnome.settings-daemon.plugins.media-keys.custom-keybinding",
                                 GnomeKeybinding::kEntryPath);
    EXPECT_EQ(stringList(mediaKeys, "custom-keybindings"),
              (std::vector<std::string>{other, GnomeKeybinding::kEntryPath}));
    gchar* command = g_settings_get_string(entry, "command");
    EXPECT_STREQ(command, "/usr/bin/tessary --shortcut");
    g_free(command);

    binding.remove();
    EXPECT_EQ(stringList(mediaKeys, "custom-keybindings"), std::vector<std::string>{other});
    gchar* binding_ = g_settings_get_string(entry, "binding");
    EXPECT_STREQ(binding_, "");
    g_free(binding_);
    for (GSettings* settings : {mediaKeys, otherEntry, wm, entry}) {
        g_object_unref(settings);
    }
}

} // namespace
} // namespace tessary
