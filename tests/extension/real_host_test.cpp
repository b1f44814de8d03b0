// Choosing an item with the real host program behind it: with no host running, the staged
// Nautilus module and tessary-menu start stage/bin/tessary (found beside them as an
// installed copy finds it), which creates the file; with a host running, the next choice
// reaches that host and starts no second process. No display and no session bus.
#include "extension_test_support.h"
#include "nautilus_test_host.h"
#include "processes.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <sstream>

#include <sys/prctl.h>
#include <unistd.h>

namespace tessary {
namespace {

namespace fs = std::filesystem;

struct HostProcess {
    pid_t pid;
    bool ended; // a zombie: it ran and left (a second start forwards its URL and leaves)
};

// The host processes whose parent is this process, ended ones included. This process is a
// subreaper, so a host started through GLib's double fork or by a program that has since
// ended is its child too.
std::vector<HostProcess> hostProcesses()
{
    std::vector<HostProcess> hosts;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        // "pid (comm) state ppid ...": comm may hold spaces, so read after its last ')'.
        const std::string stat = test::readFile(entry.path() / "stat");
        const auto open = stat.find('(');
        const auto close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) {
            continue; // it ended while being read
        }
        std::istringstream rest(stat.substr(close + 1));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == ::getpid() && stat.substr(open + 1, close - open - 1) == "tessary") {
            hosts.push_back({static_cast<pid_t>(std::stoi(name)), state == 'Z'});
        }
    }
    return hosts;
}

// Where a right-click lands: the background of a folder, or one item.
struct Click {
    bool onBackground;
    fs::path path;
};

class RealHostTest : public test::ExtensionTest {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        s_providerType = test::loadNautilusModule(TESSARY_STAGED_MODULE);
        ASSERT_NE(s_providerType, 0u);
    }

    void SetUp() override
    {
        test::ExtensionTest::SetUp();
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        ::setenv("TESSARY_LOG", "stderr", 1);
        fs::create_directories(configHome());
        fs::permissions(configHome(), fs::perms::owner_all, fs::perm_options::replace);
        folder = scratchFolder() / "Folder with spaces & more";
        fs::create_directory(folder);
        // The grant covers the scratch folder, so the host creates without asking.
        ASSERT_EQ(test::runProgram(TESSARY_HOST_BINARY, {"grant", scratchFolder().string()},
                                   {out(), err()}),
                  0)
            << test::readFile(err());
    }

    void TearDown() override
    {
        for (const HostProcess& host : hostProcesses()) {
            test::stopProcess(host.pid);
        }
        test::ExtensionTest::TearDown();
    }

    fs::path out() const { return runtimeFolder() / "out.txt"; }
    fs::path err() const { return runtimeFolder() / "err.txt"; }

    // Chooses the first item ("New <default template>") of the menu the module builds for
    // `click`, as Nautilus does.
    static void chooseInModule(const Click& click)
    {
        auto* provider = NAUTILUS_MENU_PROVIDER(g_object_new(s_providerType, nullptr));
        NautilusFileInfo* file = test::fileInfo(test::fileUri(click.path));
        GList* files = g_list_append(nullptr, file);
        GList* items = click.onBackground
                           ? nautilus_menu_provider_get_background_items(provider, file)
                           : nautilus_menu_provider_get_file_items(provider, files);
        ASSERT_NE(items, nullptr);
        nautilus_menu_item_activate(NAUTILUS_MENU_ITEM(items->data));
        nautilus_menu_item_list_free(items);
        g_list_free_full(files, g_object_unref);
        g_object_unref(provider);
    }

    // The same through tessary-menu, which ends as soon as it has handed the URL over.
    void chooseWithMenuTool(const Click& click) const
    {
        std::vector<std::string> argv{"--kind"};
        if (click.onBackground) {
            argv.insert(argv.end(), {"container", "--target", click.path.string()});
        } else {
            argv.insert(argv.end(), {"items", "--selected", click.path.string()});
        }
        ASSERT_EQ(test::runProgram(TESSARY_MENU_TOOL, argv, {out(), err()}), 0)
            << test::readFile(err());
        const auto menu = nlohmann::json::parse(test::readFile(out()));
        const auto tag = menu.at("items").at(0).at("tag").get<std::int64_t>();
        argv.insert(argv.end(), {"--choose", std::to_string(tag)});
        ASSERT_EQ(test::runProgram(TESSARY_MENU_TOOL, argv, {out(), err()}), 0)
            << test::readFile(err());
    }

    void createsColdThenWarm(const std::function<void(const Click&)>& choose)
    {
        ASSERT_TRUE(hostProcesses().empty());
        choose({true, folder});
        ASSERT_TRUE(test::waitUntil([&] { return fs::exists(folder / "untitled.txt"); }))
            << "no host created the file for the folder's background";
        const auto started = hostProcesses();
        ASSERT_EQ(started.size(), 1u);
        EXPECT_FALSE(started.front().ended);

        // A file's menu creates beside the file, through the host already running.
        choose({false, folder / "untitled.txt"});
        ASSERT_TRUE(test::waitUntil([&] { return fs::exists(folder / "untitled-2.txt"); }))
            << "the running host did not create the file beside the selection";
        const auto after = hostProcesses();
        ASSERT_EQ(after.size(), 1u) << "a second host process was started";
        EXPECT_EQ(after.front().pid, started.front().pid);
        EXPECT_FALSE(after.front().ended);
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) {
            ++count;
        }
        EXPECT_EQ(count, 2u);
    }

    fs::path folder;
    static inline GType s_providerType = 0;
};

TEST_F(RealHostTest, TheModuleStartsTheHostOnceAndThenHandsItTheRequest)
{
    createsColdThenWarm(chooseInModule);
}

TEST_F(RealHostTest, TheMenuToolStartsTheHostOnceAndThenHandsItTheRequest)
{
    createsColdThenWarm([this](const Click& click) { chooseWithMenuTool(click); });
}

} // namespace
} // namespace tessary
