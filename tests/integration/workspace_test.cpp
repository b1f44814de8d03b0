// LinuxWorkspace on a private desktop: a file manager that shows the file gets ShowItems
// with a URI that names it; when none does, the folder opens with the default application
// for folders (here a desktop entry that records it) and the reason is logged. A file manager
// with Tessary's bridge is asked through it.
#include "desktop_support.h"
#include "filemanager/front_folder_query.h"
#include "platform/linux/known_file_managers.h"
#include "platform/linux/linux_workspace.h"

#include <gio/gio.h>

namespace tessary::test {
namespace {

TEST(Workspace, RevealsTheFileOrOpensItsFolder)
{
    // GIO reads the default applications once per process: one opener for every row.
    TemporaryFolder opener;
    const fs::path opened = opener.path() / "opened.log";
    std::ofstream(opener.path() / "open.sh")
        << "#!/bin/sh\necho \"$1\" >>'" << opened.string() << "'\n";
    fs::permissions(opener.path() / "open.sh", fs::perms::owner_all);
    const fs::path applications = fs::path(std::getenv("XDG_DATA_HOME")) / "applications";
    fs::create_directories(applications);
    std::ofstream(applications / "opener.desktop")
        << "[Desktop Entry]\nType=Application\nName=Opener\nExec=" << opener.path().string()
        << "/open.sh %u\nMimeType=inode/directory;\n";
    std::ofstream(fs::path(std::getenv("XDG_CONFIG_HOME")) / "mimeapps.list")
        << "[Default Applications]\ninode/directory=opener.desktop\n";

    enum class FileManager { none, refusing, showing };
    using enum FileManager;
    for (const FileManager fileManager : {none, refusing, showing}) {
        SCOPED_TRACE(static_cast<int>(fileManager));
        TemporaryFolder folder;
        const fs::path file = folder.path() / "new 100% #1?" / "naïve résumé.txt";
        fs::create_directories(file.parent_path());
        std::ofstream{file};
        fs::remove(opened);
        std::optional<FileManagerMock> mock;
        if (fileManager != none) {
            mock.emplace(folder.path(), fileManager == refusing);
        }
        const LogCapture log;
        LinuxWorkspace workspace;
        workspace.revealAndSelect(file, {});
        workspace.settle(kDeadline);
        if (mock) {
            const std::vector<std::string> uris = mock->shownUris();
            ASSERT_EQ(uris.size(), 1u);
            g_autofree char* path = g_filename_from_uri(uris[0].c_str(), nullptr, nullptr);
            EXPECT_EQ(fs::path(path != nullptr ? path : ""), file) << uris[0];
        }
        if (fileManager == showing) {
            EXPECT_EQ(log.text(), "");
            EXPECT_FALSE(fs::exists(opened));
            continue;
        }
        // GIO hands a local folder to "%u" as a path or a URI; either names the folder.
        ASSERT_TRUE(waitUntil([&] { return readFile(opened).ends_with("\n"); })) << log.text();
        const std::string line = readFile(opened);
        g_autoptr(GFile) folderOpened =
            g_file_new_for_commandline_arg(line.substr(0, line.size() - 1).c_str());
        g_autofree char* path = g_file_get_path(folderOpened);
        EXPECT_EQ(fs::path(path != nullptr ? path : ""), file.parent_path()) << line;
        const std::string text = log.text();
        EXPECT_TRUE(text.starts_with("ERROR com.orvane.tessary[workspace] The file manager did not "
                                     "show the file: ") &&
                    std::count(text.begin(), text.end(), '\n') == 1)
            << text;
    }
}

// Nemo's ShowItems opens a new window every time (here python3-dbusmock at org.Nemo): a file
// its bridge selects in an open window gets no ShowItems; one it cannot select, or no answer,
// gets ShowItems on Nemo's own name. With a Nemo window in front, the folder is its bridge's
// active location; Dolphin's bridge is found by its process's bus name.
TEST(Workspace, AFileManagerWithABridgeIsAskedThroughIt)
{
    TemporaryFolder folder;
    FileManagerMock nemo(folder.path(), false, "org.Nemo");
    const fs::path file = folder.path() / "new.txt";
    std::ofstream{file};
    const std::pair<const char*, std::size_t> rows[] = {
        {"ret = True", 0},
        {"ret = False", 1},
        {"raise dbus.exceptions.DBusException('no', name='org.freedesktop.DBus.Error.Failed')", 2},
    };
    for (const auto& [reveal, showItems] : rows) {
        nemo.answer("Reveal", "s", "b", reveal);
        LinuxWorkspace workspace;
        workspace.revealAndSelect(file, "org.Nemo");
        workspace.settle(kDeadline);
        EXPECT_EQ(nemo.shownUris().size(), showItems) << reveal;
    }

    // Dolphin has a bus name per process, found among the bus's names.
    const fs::path other = folder.path() / "dolphin";
    fs::create_directories(other);
    FileManagerMock dolphin(other, false, "org.kde.dolphin-4242");
    for (auto [mock, shown] : {std::pair{&nemo, folder.path()}, {&dolphin, other}}) {
        mock->answer("ActiveWindow", "", "bsss",
                     "ret = (True, '/w/1', 'x', 'file://" + shown.string() + "')");
    }
    const KeyLoggingWindow window("Nemo", "org.Nemo"); // Nemo in front
    ASSERT_TRUE(window.activate());
    // The file managers known; the folder the front folder is, the bus name asked (none
    // when the front window is not theirs: the first one's then, as for the desktop).
    const std::tuple<std::vector<std::string_view>, fs::path, std::string> known[] = {
        {{"nautilus", "nemo"}, folder.path(), "org.Nemo"},
        {{"dolphin"}, other, ""},
    };
    for (const auto& [programs, shown, name] : known) {
        LinuxWorkspace workspace;
        KnownFileManagers fileManagers(programs);
        FrontFolderQuery query(fileManagers, workspace);
        std::string asked = "?";
        const auto front = query.frontFolder(&asked);
        ASSERT_TRUE(std::holds_alternative<fs::path>(front)) << name;
        EXPECT_EQ(std::get<fs::path>(front), shown);
        EXPECT_EQ(asked, name);
    }
}

} // namespace
} // namespace tessary::test
