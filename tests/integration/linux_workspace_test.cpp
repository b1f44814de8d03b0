// LinuxWorkspace on a private session bus: revealing a file reaches the file manager as
// ShowItems with the file's URI, and when no file manager takes the call the folder is
// opened with the default file manager instead. The default file manager here is a desktop
// entry installed into the private XDG folders that records the URI it was opened with.
#include "desktop_support.h"
#include "linux_workspace.h"

#include <gtest/gtest.h>

#include <fstream>

#include <gio/gio.h>

namespace tessary::test {
namespace {

std::filesystem::path xdgFolder(const char* variable)
{
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') {
        ADD_FAILURE() << variable << " is not set: run the test through with-desktop.sh";
        return {};
    }
    return value;
}

// Makes a recording script the default application for folders in the private XDG folders
// that with-desktop.sh set up. Returns the file it records the opened URIs in.
std::filesystem::path installFolderOpener(const std::filesystem::path& folder)
{
    const std::filesystem::path record = folder / "opened.log";
    const std::filesystem::path script = folder / "open-folder.sh";
    std::ofstream(script) << "#!/bin/sh\necho \"$1\" >>'" << record.string() << "'\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);

    const std::filesystem::path applications = xdgFolder("XDG_DATA_HOME") / "applications";
    std::filesystem::create_directories(applications);
    std::ofstream(applications / "tessary-test-folder-opener.desktop")
        << "[Desktop Entry]\nType=Application\nName=Folder opener\nExec=" << script.string()
        << " %u\nMimeType=inode/directory;\n";
    std::ofstream(xdgFolder("XDG_CONFIG_HOME") / "mimeapps.list")
        << "[Default Applications]\ninode/directory=tessary-test-folder-opener.desktop\n";
    return record;
}

std::string folderUri(const std::filesystem::path& folder)
{
    g_autofree char* uri = g_filename_to_uri(folder.c_str(), nullptr, nullptr);
    return uri;
}

struct NamedFile {
    std::string relativePath; // under the test's folder
    std::string encoded;      // its URI's tail after the folder's URI; empty: round trip only
};

TEST(WorkspaceReveal, SendsShowItemsWithEachFilesUriInOrder)
{
    const NamedFile files[] = {
        {"untitled.txt", "/untitled.txt"},
        {"with space.txt", "/with%20space.txt"},
        {"naïve résumé.txt", "/na%C3%AFve%20r%C3%A9sum%C3%A9.txt"},
        {"日本語.md", "/%E6%97%A5%E6%9C%AC%E8%AA%9E.md"},
        {"100% #1?.txt", "/100%25%20%231%3F.txt"},
        {"my folder/untitled", "/my%20folder/untitled"},
        {".hidden", "/.hidden"},
        // Reserved characters that may stay as they are; the file manager must find the file.
        {"a&b+c=d, e;f'g(h)@i.txt", ""},
    };
    TemporaryFolder folder;
    FileManagerStandIn fileManager(folder.path(), {.window = false});
    ASSERT_TRUE(fileManager.ready());
    StderrCapture log;

    LinuxWorkspace workspace;
    for (const NamedFile& file : files) {
        const std::filesystem::path path = folder.path() / file.relativePath;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream{path};
        workspace.revealAndSelect(path);
    }
    workspace.settle(kDeadline);

    const std::vector<std::string> calls = fileManager.log().texts("Show");
    ASSERT_EQ(calls.size(), std::size(files));
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(files[i].relativePath);
        const std::string prefix = "ShowItems ";
        ASSERT_TRUE(calls[i].starts_with(prefix)) << calls[i];
        const std::string uri = calls[i].substr(prefix.size());
        if (!files[i].encoded.empty()) {
            EXPECT_EQ(uri, folderUri(folder.path()) + files[i].encoded);
        }
        g_autofree char* decoded = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
        ASSERT_NE(decoded, nullptr) << uri;
        EXPECT_EQ(std::filesystem::path(decoded), folder.path() / files[i].relativePath);
    }
    EXPECT_EQ(log.logLines("workspace"), std::vector<std::string>{});
}

// No file manager on the bus, or one that refuses: the folder opens instead, and the reason
// is logged. Creation never fails because of it.
TEST(WorkspaceFallback, OpensTheFolderWhenNoFileManagerShowsTheFile)
{
    // GIO reads the default applications once per process: one opener for every row.
    TemporaryFolder openerFolder;
    const std::filesystem::path opened = installFolderOpener(openerFolder.path());

    for (const bool fileManagerPresent : {false, true}) {
        SCOPED_TRACE(fileManagerPresent ? "refusing file manager" : "no file manager");
        std::filesystem::remove(opened);
        TemporaryFolder folder;
        const std::filesystem::path target = folder.path() / "new folder" / "untitled.txt";
        std::filesystem::create_directories(target.parent_path());
        std::ofstream{target};
        std::optional<FileManagerStandIn> fileManager;
        if (fileManagerPresent) {
            fileManager.emplace(folder.path(), StandInOptions{.window = false, .refuse = true});
            ASSERT_TRUE(fileManager->ready());
        }
        StderrCapture log;

        LinuxWorkspace workspace;
        EXPECT_NO_THROW(workspace.revealAndSelect(target));
        workspace.settle(kDeadline);

        std::string line;
        ASSERT_TRUE(waitUntil([&] {
            std::ifstream record(opened);
            return std::getline(record, line) && !record.eof(); // a whole line
        })) << "the folder was not opened";
        // GIO hands a local folder to "%u" as a path or a URI; either names the folder.
        g_autoptr(GFile) openedFolder = g_file_new_for_commandline_arg(line.c_str());
        g_autofree char* openedPath = g_file_get_path(openedFolder);
        EXPECT_EQ(openedPath != nullptr ? openedPath : "", target.parent_path().string()) << line;
        if (fileManager) {
            EXPECT_TRUE(fileManager->log().find("ShowItems " + folderUri(target)));
        }
        const std::vector<std::string> lines = log.logLines("workspace");
        ASSERT_EQ(lines.size(), 1U) << log.text();
        EXPECT_TRUE(
            lines[0].starts_with("ERROR com.orvane.tessary[workspace] The file manager did not "
                                 "show the file: "))
            << lines[0];
    }
}

} // namespace
} // namespace tessary::test
