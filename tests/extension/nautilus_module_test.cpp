// The staged Nautilus module, loaded into this process the way Nautilus loads it: the menus
// it offers, a click that never waits for the host, and a choice handed to the real host
// program beside it (stage/bin/tessary), which the first choice starts and the next one
// reaches; the same through tessary-menu. No display and no session bus.
#include "shared/host_channel.h"
#include "shared/shared_settings.h"
#include "test_support.h"

#include <cstring>
#include <set>

#include <gmodule.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>

extern "C" {
#include <nautilus-extension.h>
}

namespace tessary {
namespace {

// Opens the staged module once and returns its entry point `name`.
template <typename Function> Function* entryPoint(const char* name)
{
    gpointer symbol = nullptr;
    g_module_symbol(g_module_open(TESSARY_MODULE, G_MODULE_BIND_LAZY), name, &symbol);
    return reinterpret_cast<Function*>(symbol);
}

// A file info that knows its URI and nothing else (Nautilus's own needs Nautilus; with
// G_DEBUG=fatal-criticals a call the fake does not implement aborts the test).
GType fileInfoType()
{
    static const GType type = [] {
        const GType fake = g_type_register_static_simple(G_TYPE_OBJECT, "TessaryFakeFileInfo",
                                                         sizeof(GObjectClass), nullptr,
                                                         sizeof(GObject), nullptr, GTypeFlags(0));
        static const GInterfaceInfo fileInfo{
            [](gpointer iface, gpointer) {
                static_cast<NautilusFileInfoInterface*>(iface)->get_uri =
                    [](NautilusFileInfo* file) {
                        return g_strdup(
                            static_cast<const char*>(g_object_get_data(G_OBJECT(file), "uri")));
                    };
            },
            nullptr, nullptr};
        g_type_add_interface_static(fake, NAUTILUS_TYPE_FILE_INFO, &fileInfo);
        return fake;
    }();
    return type;
}

std::string fileUri(const fs::path& path)
{
    g_autofree gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    return uri;
}

// The items of a menu item's submenu, none without one; the caller frees the list.
GList* submenuItems(gpointer item)
{
    NautilusMenu* submenu = nullptr;
    g_object_get(item, "menu", &submenu, nullptr);
    GList* items = submenu != nullptr ? nautilus_menu_get_items(submenu) : nullptr;
    g_clear_object(&submenu);
    return items;
}

// "label, label [label, ...]" for the items, and every item's name into `names`.
std::string describe(GList* items, std::set<std::string>& names)
{
    std::string text;
    for (GList* node = items; node != nullptr; node = node->next) {
        g_autofree gchar* name = nullptr;
        g_autofree gchar* label = nullptr;
        g_object_get(node->data, "name", &name, "label", &label, nullptr);
        names.insert(name);
        text += (text.empty() ? "" : ", ") + std::string(label);
        if (GList* submenu = submenuItems(node->data)) {
            text += " [" + describe(submenu, names) + "]";
            g_list_free_full(submenu, g_object_unref);
        }
    }
    return text;
}

// The host processes whose parent is this process, ended ones included. This process is a
// subreaper, so a host started through a double fork or by a program that has ended is its
// child too.
std::vector<pid_t> hostProcesses()
{
    std::vector<pid_t> hosts;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        // "pid (tessary) state ppid ...".
        std::istringstream stat(test::readFile(entry.path() / "stat"));
        std::string pid, name, state;
        pid_t parent = 0;
        if (stat >> pid >> name >> state >> parent && name == "(tessary)" && parent == ::getpid()) {
            hosts.push_back(std::stoi(pid));
        }
    }
    return hosts;
}

class NautilusModuleTest : public test::ConfigFolderTest {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        // Loaded as Nautilus loads it: a type module whose load runs the module's entry point.
        const GType loader = g_type_register_static_simple(
            G_TYPE_TYPE_MODULE, "TessaryTestModule", sizeof(GTypeModuleClass),
            [](gpointer klass, gpointer) {
                G_TYPE_MODULE_CLASS(klass)->load = [](GTypeModule* module) -> gboolean {
                    entryPoint<void(GTypeModule*)>("nautilus_module_initialize")(module);
                    return TRUE;
                };
            },
            sizeof(GTypeModule), nullptr, GTypeFlags(0));
        ASSERT_TRUE(g_type_module_use(G_TYPE_MODULE(g_object_new(loader, nullptr))));
        const GType* types = nullptr;
        int count = 0;
        entryPoint<void(const GType**, int*)>("nautilus_module_list_types")(&types, &count);
        ASSERT_EQ(count, 1);
        s_provider = types[0];
    }
    void TearDown() override
    {
        for (const pid_t host : hostProcesses()) {
            test::stopProcess(host);
        }
        ConfigFolderTest::TearDown();
    }

    // The module's menu for the background of the folder `uris[0]`, or for a selection.
    static GList* menuItems(const std::vector<std::string>& uris, bool background)
    {
        auto* provider = NAUTILUS_MENU_PROVIDER(g_object_new(s_provider, nullptr));
        GList* files = nullptr;
        for (const std::string& uri : uris) {
            files = g_list_append(files, g_object_new(fileInfoType(), nullptr));
            g_object_set_data_full(G_OBJECT(g_list_last(files)->data), "uri", g_strdup(uri.c_str()),
                                   g_free);
        }
        GList* items = background ? nautilus_menu_provider_get_background_items(
                                        provider, NAUTILUS_FILE_INFO(files->data))
                                  : nautilus_menu_provider_get_file_items(provider, files);
        g_list_free_full(files, g_object_unref);
        g_object_unref(provider); // Nautilus may drop the provider before the items
        return items;
    }

    static inline GType s_provider = 0;
};

TEST_F(NautilusModuleTest, ExportsOnlyItsEntryPoints)
{
    EXPECT_TRUE(entryPoint<void()>("nautilus_module_shutdown"));
    // tessary::buildMenu(tessary::SharedSettings const&), linked in from the static library.
    EXPECT_FALSE(entryPoint<void()>("_ZN7tessary9buildMenuERKNS_14SharedSettingsE"));
}

TEST_F(NautilusModuleTest, OffersTheTemplatesOnlyInLocalFolders)
{
    const std::string here = fileUri(scratchFolder());
    const FileTemplate notes{Uuid::random(), "Notes", "notes", "Ünï/x", ""}; // no known kind
    // Names lose their blanks (no-break and ideographic spaces too, not line breaks); a blank
    // name gives way to the file name.
    const FileTemplate readme{Uuid::random(), "\u00A0Read\nme\u3000", "README", "md", ""};
    const FileTemplate script{Uuid::random(), " \t", "run", "sh", ""};
    const std::vector<FileTemplate> three = {notes, readme, script};
    const std::string menu = "New Read\nme, Tessary [Notes, Read\nme, run.sh]";
    const std::string goneDefault = "New Read\nme, Tessary [Read\nme, run.sh]"; // the first
    // The templates, the default, the URIs (a folder's background for one ending in "/"), the
    // menu.
    // clang-format off
    const std::tuple<std::vector<FileTemplate>, std::optional<Uuid>, std::vector<std::string>,
                     std::string> rows[] = {
        {three, readme.id, {here + "/"}, menu}, {three, readme.id, {here + "/a.txt", here + "/b.txt"}, menu},
        {{readme, script}, Uuid::random(), {here + "/"}, goneDefault},
        {{notes}, std::nullopt, {here + "/"}, "New Notes"}, {{}, std::nullopt, {here + "/"}, ""},
        {three, readme.id, {here + "/a.txt", "recent:///b.txt"}, ""}, {three, readme.id, {"trash:///"}, ""},
        {three, readme.id, {"trash:///a.txt"}, ""}, {three, readme.id, {"recent:///"}, ""},
        {three, readme.id, {"x-nautilus-search:///"}, ""},
        {three, readme.id, {"sftp://example.org/home/me/"}, ""},
        {three, readme.id, {"smb://server/share/a.txt"}, ""}};
    // clang-format on
    for (const auto& [templates, defaultID, uris, expected] : rows) {
        SharedSettings settings;
        settings.templates = templates;
        settings.defaultTemplateID = defaultID;
        ASSERT_FALSE(settings.save());
        std::set<std::string> names;
        GList* items = menuItems(uris, uris[0].ends_with("/"));
        EXPECT_EQ(describe(items, names), expected) << uris.back();
        g_list_free_full(items, g_object_unref);
    }
    // Nautilus makes one window action of each item name for the folder's menu and the
    // selection's menu together, the later replacing the earlier: a name both use would run
    // the file's item with the folder's context. (A direct item and its submenu twin may
    // share one: they do the same thing.)
    std::set<std::string> names;
    for (const std::string& uri : {here + "/", here + "/a.txt"}) {
        GList* items = menuItems({uri}, uri.ends_with("/"));
        describe(items, names);
        g_list_free_full(items, g_object_unref);
    }
    EXPECT_EQ(names.size(), 8u) << "the folder's and the selection's menus share an item name";
}

// A choice from a folder's background starts the host, which creates the file; a choice
// from the file's menu reaches that host and starts no second one. The host does not keep
// the caller's input and output (a caller reading its output through a pipe would wait for
// the host's end).
TEST_F(NautilusModuleTest, AChoiceStartsTheHostOnceAndThenReachesIt)
{
    const fs::path folder = scratchFolder() / "Folder with spaces & more";
    const fs::path out = runtimeFolder() / "out.txt";
    // Chooses "New …" (tag 0) or, with a submenu index, that item of the submenu.
    using Choose = std::function<void(const fs::path&, bool, std::optional<int>)>;
    const Choose inModule = [](const fs::path& path, bool background, std::optional<int> sub) {
        GList* items = menuItems({fileUri(path)}, background);
        GList* submenu = sub ? submenuItems(g_list_nth_data(items, 1)) : nullptr;
        nautilus_menu_item_activate(NAUTILUS_MENU_ITEM(
            sub ? g_list_nth_data(submenu, static_cast<guint>(*sub)) : items->data));
        g_list_free_full(submenu, g_object_unref);
        g_list_free_full(items, g_object_unref);
    };
    const Choose withMenuTool = [&](const fs::path& path, bool background, std::optional<int> sub) {
        EXPECT_EQ(test::runProgram(TESSARY_MENU_TOOL,
                                   {"--kind", background ? "container" : "items",
                                    background ? "--target" : "--selected", path.string(),
                                    "--choose", std::to_string(sub.value_or(0))},
                                   out),
                  0)
            << test::readFile(out);
    };
    for (const Choose& choose : {inModule, withMenuTool}) {
        for (const pid_t host : hostProcesses()) {
            test::stopProcess(host);
        }
        fs::remove_all(folder);
        fs::create_directory(folder);
        // The grant covers the scratch folder, so the host creates without asking.
        ASSERT_EQ(test::runProgram(TESSARY_HOST_BINARY, {"grant", scratchFolder()}, out), 0)
            << test::readFile(out);

        choose(folder, true, std::nullopt);
        ASSERT_TRUE(test::waitUntil([&] { return fs::exists(folder / "untitled.txt"); }))
            << "no host created the file for the folder's background";
        const std::vector<pid_t> started = hostProcesses();
        ASSERT_EQ(started.size(), 1u);
        for (const char* stream : {"0", "1"}) {
            EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(started[0]) + "/fd/" + stream),
                      "/dev/null");
        }

        choose(folder / "untitled.txt", false, 1);
        ASSERT_TRUE(test::waitUntil([&] { return fs::exists(folder / "untitled.md"); }))
            << "the running host did not create the file beside the selection";
        EXPECT_EQ(hostProcesses(), started) << "a second host process was started";
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    }
}

// A click returns to Nautilus at once, before the host has even answered, and the request
// still reaches the host.
TEST_F(NautilusModuleTest, AClickReturnsBeforeTheHostAnswers)
{
    // A host that takes connections only when told to, and answers only then.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, hostSocketPath(true)->c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    GList* items = menuItems({fileUri(scratchFolder()) + "/"}, true);
    ASSERT_NE(items, nullptr);
    nautilus_menu_item_activate(NAUTILUS_MENU_ITEM(items->data));

    // Only now the host takes the request: the click must still be waiting for the answer.
    const int client = ::accept(listener, nullptr, nullptr);
    char line[4096] = {};
    EXPECT_GT(::read(client, line, sizeof(line) - 1), 0);
    EXPECT_EQ(::send(client, "ok\n", 3, MSG_NOSIGNAL), 3) << "the click gave up on the host";
    EXPECT_NE(std::string(line).find("tessary://create?"), std::string::npos) << line;
    ::close(client);
    ::close(listener);
    g_list_free_full(items, g_object_unref);
}

} // namespace
} // namespace tessary
