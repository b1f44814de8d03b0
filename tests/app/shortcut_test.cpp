// The rules behind the global shortcut that need no desktop: which tab of a window is the
// front folder, which accelerators GNOME treats as one, and the GNOME keybinding written to
// a private settings file.
#include <gio/gio.h> // before Qt, whose "signals" macro breaks GIO's headers

#include "filemanager/front_folder_query.h"
#include "lifecycle/host_services.h"
#include "shortcut/hot_key.h"
#include "platform/linux/gnome_keybinding.h"
#include "platform/linux/session_global_shortcut.h"
#include "ui/console_prompts.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

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

// The file manager at its seam: its windows with their tabs, and what its bridge says.
struct FakeFileManager : FileManager {
    std::optional<WindowLocations> windows;
    std::optional<FileManagerWindow> bridge;

    std::string applicationId() const override { return "org.gnome.Nautilus"; }
    std::string busName() const override { return "org.gnome.Nautilus"; }
    std::optional<bool> isRunning() override { return true; }
    std::optional<WindowLocations> openWindowsWithLocations(FileManagerError* error) override
    {
        *error = {true, 5, "refused"};
        return windows;
    }
    std::optional<FileManagerWindow> bridgeActiveWindow() override { return bridge; }
    std::optional<bool> bridgeRename(const std::string&) override { return false; }
    void restart() override {}
};

// The application in front, and the beeps and alerts the user gets.
struct FakeDesktop : Workspace, UserPrompts {
    std::optional<FrontApplication> front;
    std::vector<std::string> shown;

    void revealAndSelect(const std::filesystem::path&) override {}
    void openWithDefaultApp(const std::filesystem::path&) override {}
    void openURL(const std::string&) override {}
    std::optional<FrontApplication> frontmostApplication() override { return front; }
    void beep() override { shown.emplace_back("beep"); }
    std::size_t runAlert(const AlertRequest& alert) override
    {
        shown.push_back("alert: " + alert.messageText);
        return alert.cancelButton;
    }
    std::optional<std::filesystem::path> chooseFolder(const FolderPanelRequest&) override
    {
        return std::nullopt;
    }
};

class PressTest : public test::ConfigFolderTest {};

TEST_F(PressTest, TheFrontApplicationWindowAndTabDecideWhatAPressDoes)
{
    namespace fs = std::filesystem;
    const fs::path root = scratchFolder();
    for (const char* folder : {"a/x", "b/x", "c", "Desktop"}) {
        fs::create_directories(root / folder);
    }
    fs::create_directories(configHome());
    std::ofstream(configHome() / "user-dirs.dirs")
        << "XDG_DESKTOP_DIR=\"" << root.string() << "/Desktop\"\n";
    const auto uri = [&](const char* folder) {
        return "file://" + (root / folder).string();
    };
    const FrontApplication files{"org.gnome.Nautilus", "Files"};
    const FrontApplication desktop{{}, {}, true};
    const FrontApplication mail{"com.example.Mail", "Mail"};
    FrontApplication x11Files = files; // no bridge: the window GTK names on X11
    x11Files.windowPath = "/w2";
    x11Files.windowTitle = "c";
    const WindowLocations twoWindows{{"/w1", {uri("a/x")}}, {"/w2", {uri("c")}}};
    const WindowLocations sameNames{{"/w1", {uri("a/x"), uri("b/x")}}};
    const std::string notShown = "alert: Couldn't find the folder that Files shows";
    const std::string ignored = "Shortcut pressed while ";
    // The front application, the windows, what the bridge says; the folder of the new file,
    // or what the user is shown, or the log line of an ignored press.
    const struct {
        const char* name;
        std::optional<FrontApplication> front;
        std::optional<WindowLocations> windows;
        std::optional<FileManagerWindow> bridge;
        std::string outcome;
    } rows[] = {
        {"one window", files, {{{"/w1", {uri("c")}}}}, {}, "c"},
        {"the bridge names the window", files, twoWindows, {{true, "/w2", "c"}}, "c"},
        {"the bridge names the tab", files, sameNames, {{true, "/w1", "x", uri("b/x")}}, "b/x"},
        {"the title names the tab",
         files,
         {{{"/w1", {uri("a/x"), uri("c")}}}},
         {{true, "/w1", "c"}},
         "c"},
        {"two tabs of one name", files, sameNames, {{true, "/w1", "x"}}, notShown},
        {"X11 names the window", x11Files, twoWindows, {}, "c"},
        {"no window in front", files, twoWindows, {}, notShown},
        {"a trash tab", files, {{{"/w1", {"trash:///"}}}}, {}, "beep"},
        {"no window open", files, WindowLocations{}, {}, "Desktop"},
        {"the desktop in front", desktop, WindowLocations{}, {}, "Desktop"},
        {"the desktop over a window", desktop, {{{"/w1", {uri("c")}}}}, {}, "c"},
        {"the window list refused", files, {}, {}, notShown},
        {"another application", mail, twoWindows, {}, ignored + "Mail is in front"},
        {"nothing in front", {}, twoWindows, {}, ignored + "another app is in front"},
    };
    FakeDesktop user;
    HostServices services(user);
    services.diskAccess.saveGrant(root);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeFileManager fileManager;
        fileManager.windows = row.windows;
        fileManager.bridge = row.bridge;
        user.front = row.front;
        user.shown.clear();
        FrontFolderQuery query(fileManager, user);
        HotKey hotKey(services.shortcuts, query, services.requests, services.queue, user);
        const std::string log = test::capturedLog([&] { hotKey.handlePress(); });
        std::string created;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (entry.path().filename() == "untitled.txt") {
                created = entry.path().parent_path().lexically_relative(root).string();
                fs::remove(entry.path());
            }
        }
        const std::string logged =
            log.empty() ? log : log.substr(log.find(']') + 2, row.outcome.size());
        EXPECT_EQ(!created.empty()      ? created
                  : !user.shown.empty() ? user.shown.front()
                                        : logged,
                  row.outcome)
            << log;
        EXPECT_LE(user.shown.size(), 1u);
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

TEST(GnomeKeybindingCommand, RunsTheInstalledProgramWhateverItsPath)
{
    test::TemporaryFolder folder;
    const std::filesystem::path base = folder.path();
    for (const char* name : {"bin", "50%fun"}) {
        std::filesystem::create_directory(base / name);
        std::ofstream(base / name / "tessary") << "#!/bin/sh\n";
        std::filesystem::permissions(base / name / "tessary", std::filesystem::perms::owner_all);
    }
    // What /proc/self/exe links to, the command.
    const std::pair<std::string, std::string> rows[] = {
        {base / "bin/tessary", (base / "bin/tessary").string() + " --shortcut"},
        {base / "50%fun/tessary", "'" + (base / "50%%fun/tessary").string() + "' --shortcut"},
        {(base / "bin/tessary").string() + " (deleted)",
         (base / "bin/tessary").string() + " --shortcut"},
        {(base / "gone/tessary").string() + " (deleted)", "tessary --shortcut"},
    };
    for (const auto& [target, command] : rows) {
        std::filesystem::remove(base / "exe");
        std::filesystem::create_symlink(target, base / "exe");
        EXPECT_EQ(SessionGlobalShortcut::pressCommand(base / "exe"), command) << target;
    }
}

// A keybinding GNOME would never see is not reported as registered: dconf unreachable, or a
// command GSettings cannot hold.
class GnomeKeybindingFailure : public test::ConfigFolderTest {};

TEST_F(GnomeKeybindingFailure, AWriteTheSettingsRefuseIsAFailure)
{
    setenv("GSETTINGS_BACKEND", "dconf", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    if (!GnomeKeybinding::available()) {
        GTEST_SKIP() << "GNOME's media-keys schema is not installed";
    }
    for (const char* command : {"/usr/bin/tessary --shortcut", "/opt/\xff/tessary --shortcut"}) {
        EXPECT_EQ(GnomeKeybinding(command).bind({0, "", "<Control><Alt>n"}).outcome,
                  ShortcutRegistration::Outcome::failed)
            << command;
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
        EXPECT_EQ(binding.bind({0, "", row.accelerator}).outcome, row.outcome);
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

    // The host on GNOME Wayland registers its entry; Quit ends it.
    setenv("WAYLAND_DISPLAY", "wayland-tessary", 1);
    setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
    {
        ConsolePrompts prompts;
        HostServices services(prompts);
        test::capturedLog([&] { services.hotKey.registerShortcut(SharedSettings::defaults()); });
        EXPECT_EQ(stringList(mediaKeys, "custom-keybindings"),
                  (std::vector<std::string>{other, GnomeKeybinding::kEntryPath}));
    }
    EXPECT_EQ(stringList(mediaKeys, "custom-keybindings"), std::vector<std::string>{other});
    for (GSettings* settings : {mediaKeys, otherEntry, wm, entry}) {
        g_object_unref(settings);
    }
}

} // namespace
} // namespace tessary
