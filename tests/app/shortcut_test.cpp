// The global shortcut without a desktop: what a press does for each front application,
// window and tab (a fake file manager at its seam), which accelerators GNOME treats as one,
// and the GNOME keybinding written to private settings.
#include <gio/gio.h> // before Qt, whose "signals" macro breaks GIO's headers

#include "filemanager/front_folder_query.h"
#include "lifecycle/host_services.h"
#include "shortcut/hot_key.h"
#include "platform/linux/gnome_keybinding.h"
#include "platform/linux/session_global_shortcut.h"
#include "console_prompts.h"

#include "fake_desktop.h"
#include "test_support.h"

#include <cstdlib>

namespace tessary {
namespace {

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

struct OneFileManager : FileManagers {
    FileManager& only;
    explicit OneFileManager(FileManager& fileManager) : only(fileManager) {}
    std::vector<InstalledFileManager> installed() override { return {{&only, nullptr}}; }
    FileManager& at(const std::string&) override { return only; }
    FileManager* owning(const FrontApplication& front) override
    {
        return only.ownsWindow(front) ? &only : nullptr;
    }
};

class PressTest : public test::ConfigFolderTest {};

TEST_F(PressTest, TheFrontApplicationWindowAndTabDecideWhatAPressDoes)
{
    namespace fs = std::filesystem;
    const fs::path root = scratchFolder();
    for (const char* folder : {"a/x", "b/x", "c", "Desktop", "home", "My Notes"}) {
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
    const FrontApplication x11Files{"org.gnome.Nautilus", "Files", false, "/w2", "c"};
    const WindowLocations twoWindows{{"/w1", {uri("a/x")}}, {"/w2", {uri("c")}}};
    const auto tabs = [](std::vector<std::string> locations) {
        return WindowLocations{{"/w1", std::move(locations)}};
    };
    const auto titled = [](const char* title) {
        return FileManagerWindow{true, "/w1", title};
    };
    const WindowLocations sameNames = tabs({uri("a/x"), uri("b/x")});
    const std::string notShown = "alert: Couldn't find the folder that Files shows";
    const std::string ignored = "Shortcut pressed while "; // and a log line only
    // The front application, the windows, what the bridge says; the folder of the new file,
    // or what the user is shown, or the log line of an ignored press.
    const std::tuple<std::string, std::optional<FrontApplication>, std::optional<WindowLocations>,
                     std::optional<FileManagerWindow>, std::string>
        rows[] = {
            {"one window", files, tabs({uri("c")}), {}, "c"},
            {"bridge names window", files, twoWindows, {{true, "/w2", "c"}}, "c"},
            {"bridge names tab", files, sameNames, {{true, "/w1", "x", uri("b/x")}}, "b/x"},
            {"escaped name", files, tabs({uri("a/x"), uri("My%20Notes")}), titled("My Notes"),
             "My Notes"},
            {"a folder twice", files, tabs({uri("c"), uri("c") + "/"}), titled("c"), "c"},
            {"home's own word", files, tabs({uri("a/x"), uri("home")}), titled("Home"), "home"},
            {"a search tab", files, tabs({"x-nautilus-search://0/"}), {}, "beep"},
            {"trash or home", files, tabs({"trash:///", uri("home")}), titled("Trash"), notShown},
            {"root has no name", files, tabs({"file:///", uri("c")}), titled("Computer"), notShown},
            {"title names tab", files, tabs({uri("a/x"), uri("c")}), titled("c"), "c"},
            {"two tabs of one name", files, sameNames, titled("x"), notShown},
            {"X11 names the window", x11Files, twoWindows, {}, "c"},
            {"no window in front", files, twoWindows, {}, notShown},
            {"no window open", files, WindowLocations{}, {}, "Desktop"},
            {"the desktop in front", desktop, WindowLocations{}, {}, "Desktop"},
            {"the desktop over a window", desktop, tabs({uri("c")}), {}, "c"},
            {"the window list refused", files, {}, {}, notShown},
            {"another application", mail, twoWindows, {}, ignored + "Mail is in front"},
            {"nothing in front", {}, twoWindows, {}, ignored + "another app is in front"},
        };
    ::setenv("HOME", (root / "home").c_str(), 1);
    test::FakeDesktop user;
    HostServices services(user);
    services.diskAccess.saveGrant(root);
    for (const auto& [name, front, windows, bridge, outcome] : rows) {
        SCOPED_TRACE(name);
        FakeFileManager fileManager;
        fileManager.windows = windows;
        fileManager.bridge = bridge;
        user.front = front;
        user.alerts.clear();
        user.beeps = 0;
        OneFileManager fileManagers(fileManager);
        FrontFolderQuery query(fileManagers, user);
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
            log.empty() ? log : log.substr(log.find(']') + 2, outcome.size());
        const std::string shown = user.beeps == 1       ? "beep"
                                  : user.alerts.empty() ? logged
                                                        : "alert: " + user.alerts[0].messageText;
        EXPECT_EQ(created.empty() ? shown : created, outcome) << log;
        EXPECT_LE(user.alerts.size() + user.beeps, created.empty() ? 1u : 0u);
    }
}

TEST(GnomeAccelerators, SpellingsOfOneShortcutCompareEqual)
{
    // clang-format off
    const std::tuple<std::string, std::string, bool> rows[] = {
        {"<Control><Alt>n", "<Primary><Alt>N", true}, {"<Ctrl><Mod1>n", "<Alt><Control>n", true},
        {"<Super>e", "<Mod4>E", true}, {"<Control><Alt>n", "<Control><Alt><Shift>n", false},
        {"<Control><Alt>n", "<Control><Alt>m", false}, {"<Control>n", "n", false}};
    // clang-format on
    for (const auto& [a, b, same] : rows) {
        ASSERT_TRUE(parseAccelerator(a)) << a;
        EXPECT_EQ(parseAccelerator(a) == parseAccelerator(b), same) << a << " / " << b;
    }
    for (const char* none : {"", "disabled", "<Control>", "<Control", "<Bogus>n", "<Alt>n<x>"}) {
        EXPECT_FALSE(parseAccelerator(none)) << none;
    }
}

// The command runs the installed program, whatever its path; a keybinding GNOME would never
// see (dconf unreachable, a command GSettings cannot hold) is not reported as registered.
TEST(GnomeKeybindingCommand, RunsTheInstalledProgramAndCountsOnlyWhenStored)
{
    test::TemporaryFolder folder;
    // What /proc/self/exe links to, the command: the press helper beside it.
    const std::pair<std::string, std::string> rows[] = {
        {"/usr/bin/tessary", "/usr/libexec/tessary/tessary-shortcut"},
        {"/opt/50%fun/bin/tessary", "'/opt/50%%fun/libexec/tessary/tessary-shortcut'"},
        {"/bin/sh (deleted)", "/libexec/tessary/tessary-shortcut"},
        {"/nonexistent/tessary (deleted)", "tessary --shortcut"},
    };
    for (const auto& [target, command] : rows) {
        std::filesystem::remove(folder.path() / "exe");
        std::filesystem::create_symlink(target, folder.path() / "exe");
        EXPECT_EQ(SessionGlobalShortcut::pressCommand(folder.path() / "exe"), command) << target;
    }
    setenv("GSETTINGS_BACKEND", "dconf", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    for (const char* command :
         {"/usr/libexec/tessary/tessary-shortcut", "/opt/\xff/libexec/tessary/tessary-shortcut"}) {
        EXPECT_TRUE(!GnomeKeybinding::available() ||
                    GnomeKeybinding(command).bind({0, "", "<Control><Alt>n"}).outcome ==
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
    g_autoptr(GSettings) mediaKeys = g_settings_new("org.gnome.settings-daemon.plugins.media-keys");
    const gchar* list[] = {other, nullptr};
    g_settings_set_strv(mediaKeys, "custom-keybindings", list);
    g_autoptr(GSettings) otherEntry = g_settings_new_with_path(
        "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding", other);
    g_settings_set_string(otherEntry, "binding", "<Primary><Alt>t");

    GnomeKeybinding binding("/usr/bin/tessary --shortcut");
    using enum ShortcutRegistration::Outcome;
    // Taken by another custom binding (by the window manager: the settings window's test); free,
    // and its own entry again.
    const std::pair<const char*, ShortcutRegistration::Outcome> rows[] = {
        {"<Control><Alt>t", inUse},
        {"<Control><Alt>n", registered},
        {"<Control><Alt>n", registered}};
    for (const auto& [accelerator, outcome] : rows) {
        binding.remove();
        EXPECT_EQ(binding.bind({0, "", accelerator}).outcome, outcome) << accelerator;
    }
    EXPECT_EQ(stringList(mediaKeys, "custom-keybindings"),
              (std::vector<std::string>{other, GnomeKeybinding::kEntryPath}));
    binding.remove();
    EXPECT_EQ(stringList(mediaKeys, "custom-keybindings"), std::vector<std::string>{other});

    // The host on GNOME Wayland registers its entry; Quit ends it.
    setenv("WAYLAND_DISPLAY", "wayland-tessary", 1);
    setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
    {
        ConsolePrompts prompts;
        HostServices services(prompts);
        test::capturedLog([&] { services.hotKey.registerShortcut(SharedSettings::defaults()); });
        EXPECT_EQ(stringList(mediaKeys, "custom-keybindings").size(), 2u);
    }
    EXPECT_EQ(stringList(mediaKeys, "custom-keybindings"), std::vector<std::string>{other});
}

} // namespace
} // namespace tessary
