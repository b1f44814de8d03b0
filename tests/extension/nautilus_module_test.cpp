// The real Nautilus module, loaded into this process the way Nautilus loads it: a type
// module opens the library and runs its entry points, then the provider builds menus for
// file infos.
#include "create_request.h"
#include "defaults_store.h"
#include "extension_test_support.h"
#include "nautilus_test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <set>

#include <gmodule.h>

namespace tessary {
namespace {

namespace fs = std::filesystem;

// --- the tests ---

struct ItemView {
    std::string name;
    std::string label;
    std::vector<ItemView> submenu;
};

std::string stringProperty(gpointer object, const char* name)
{
    gchar* value = nullptr;
    g_object_get(object, name, &value, nullptr);
    std::string text = value != nullptr ? value : "";
    g_free(value);
    return text;
}

std::vector<ItemView> viewOf(GList* items)
{
    std::vector<ItemView> view;
    for (GList* node = items; node != nullptr; node = node->next) {
        ItemView item{stringProperty(node->data, "name"), stringProperty(node->data, "label"), {}};
        NautilusMenu* submenu = nullptr;
        g_object_get(node->data, "menu", &submenu, nullptr);
        if (submenu != nullptr) {
            GList* children = nautilus_menu_get_items(submenu);
            item.submenu = viewOf(children);
            nautilus_menu_item_list_free(children);
            g_object_unref(submenu);
        }
        view.push_back(std::move(item));
    }
    return view;
}

class NautilusModuleTest : public test::ExtensionTest {
protected:
    static void SetUpTestSuite()
    {
        std::string pattern = (fs::temp_directory_path() / "tessary-prefix-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        s_prefix = pattern;
        // An installed copy's layout: the host is found relative to the module.
        s_modulePath = s_prefix / TESSARY_EXTENSION_RELDIR / fs::path(TESSARY_MODULE).filename();
        fs::create_directories(s_modulePath.parent_path());
        fs::copy_file(TESSARY_MODULE, s_modulePath);
        s_providerType = test::loadNautilusModule(s_modulePath);
        ASSERT_NE(s_providerType, 0u);
    }
    static void TearDownTestSuite() { fs::remove_all(s_prefix); }

    void SetUp() override
    {
        test::ExtensionTest::SetUp();
        ASSERT_TRUE(g_type_is_a(s_providerType, NAUTILUS_TYPE_MENU_PROVIDER));
        fs::remove_all(hostProgram().parent_path());
        m_provider = NAUTILUS_MENU_PROVIDER(g_object_new(s_providerType, nullptr));
    }
    void TearDown() override
    {
        if (m_provider != nullptr) {
            g_object_unref(m_provider);
        }
        test::ExtensionTest::TearDown();
    }

    static fs::path hostProgram() { return s_prefix / "bin" / "tessary"; }

    GList* backgroundItems(const std::string& uri)
    {
        NautilusFileInfo* folder = test::fileInfo(uri);
        GList* items = nautilus_menu_provider_get_background_items(m_provider, folder);
        g_object_unref(folder);
        return items;
    }

    GList* fileItems(const std::vector<std::string>& uris)
    {
        GList* files = nullptr;
        for (const std::string& uri : uris) {
            files = g_list_append(files, test::fileInfo(uri));
        }
        GList* items = nautilus_menu_provider_get_file_items(m_provider, files);
        g_list_free_full(files, g_object_unref);
        return items;
    }

    static std::optional<CreateRequest> verified(const std::string& url)
    {
        return CreateRequest::verifying(url, requestKey(DefaultsStore::appGroup()).value(),
                                        CreateRequest::Clock::now());
    }

    static inline fs::path s_prefix;
    static inline fs::path s_modulePath;
    static inline GType s_providerType = 0;
    NautilusMenuProvider* m_provider = nullptr;
};

TEST_F(NautilusModuleTest, ExportsOnlyItsEntryPoints)
{
    GModule* library = g_module_open(s_modulePath.c_str(), G_MODULE_BIND_LAZY);
    ASSERT_NE(library, nullptr);
    gpointer symbol = nullptr;
    EXPECT_TRUE(g_module_symbol(library, "nautilus_module_shutdown", &symbol));
    // tessary::buildMenu(tessary::SharedSettings const&), linked in from the static library.
    EXPECT_FALSE(g_module_symbol(library, "_ZN7tessary9buildMenuERKNS_14SharedSettingsE", &symbol));
    g_module_close(library);
}

TEST_F(NautilusModuleTest, OffersTheMenuInLocalFolders)
{
    test::storeTemplates({test::makeTemplate("Notes"), test::makeTemplate("Script", "run", "sh")},
                         1);
    GList* items = backgroundItems(test::fileUri(scratchFolder()));
    const auto view = viewOf(items);
    nautilus_menu_item_list_free(items);
    ASSERT_EQ(view.size(), 2u);
    EXPECT_EQ(view[0].label, "New Script");
    EXPECT_TRUE(view[0].submenu.empty());
    EXPECT_EQ(view[1].label, "Tessary");
    ASSERT_EQ(view[1].submenu.size(), 2u);
    EXPECT_EQ(view[1].submenu[0].label, "Notes");
    EXPECT_EQ(view[1].submenu[1].label, "Script");
    // Nautilus makes an action of each name; two items of one menu must not share one.
    EXPECT_NE(view[0].name, view[1].name);
    EXPECT_NE(view[1].submenu[0].name, view[1].submenu[1].name);

    test::storeTemplates({test::makeTemplate("Only")});
    GList* single = fileItems({test::fileUri(scratchFolder() / "a.txt")});
    const auto singleView = viewOf(single);
    nautilus_menu_item_list_free(single);
    ASSERT_EQ(singleView.size(), 1u);
    EXPECT_EQ(singleView[0].label, "New Only");
}

// Nautilus makes one window action per item name for the folder's menu and the selection's
// menu together, the later replacing the earlier: a name both menus use would run the file's
// item with the folder's context. (Within one menu the direct item and its submenu twin may
// share a name: they do the same thing.)
std::set<std::string> itemNames(const std::vector<ItemView>& view)
{
    std::set<std::string> names;
    for (const ItemView& item : view) {
        names.insert(item.name);
        names.merge(itemNames(item.submenu));
    }
    return names;
}

TEST_F(NautilusModuleTest, TheFolderAndSelectionMenusNameTheirItemsApart)
{
    test::storeTemplates({test::makeTemplate("Notes"), test::makeTemplate("Script", "run", "sh")},
                         1);
    GList* folderMenu = backgroundItems(test::fileUri(scratchFolder()));
    GList* selectionMenu = fileItems({test::fileUri(scratchFolder() / "a.txt")});
    const auto folderNames = itemNames(viewOf(folderMenu));
    const auto selectionNames = itemNames(viewOf(selectionMenu));
    nautilus_menu_item_list_free(folderMenu);
    nautilus_menu_item_list_free(selectionMenu);
    EXPECT_EQ(folderNames.size(), 3u);
    EXPECT_EQ(selectionNames.size(), 3u);
    std::vector<std::string> shared;
    std::set_intersection(folderNames.begin(), folderNames.end(), selectionNames.begin(),
                          selectionNames.end(), std::back_inserter(shared));
    EXPECT_TRUE(shared.empty()) << shared.front();
}

TEST_F(NautilusModuleTest, OffersNothingOutsideLocalFolders)
{
    test::storeTemplates({test::makeTemplate("Notes")});
    for (const char* uri : {"search:///", "x-nautilus-search:///", "recent:///", "trash:///",
                            "sftp://example.org/home/me", "smb://server/share/"}) {
        EXPECT_EQ(backgroundItems(uri), nullptr) << uri;
        EXPECT_EQ(fileItems({std::string(uri) + "x.txt"}), nullptr) << uri;
    }
    // A selection that includes anything non-local gets nothing either.
    EXPECT_EQ(fileItems({test::fileUri(scratchFolder() / "a.txt"), "recent:///b.txt"}), nullptr);
}

TEST_F(NautilusModuleTest, ChoosingAnItemHandsItsRequestToTheHost)
{
    test::storeTemplates({test::makeTemplate("Notes"), test::makeTemplate("Script", "run", "sh")},
                         std::nullopt, true);
    const fs::path folder = scratchFolder() / "Some Folder";
    fs::create_directory(folder);
    GList* items =
        fileItems({test::fileUri(folder / "picked.txt"), test::fileUri(scratchFolder() / "x")});
    ASSERT_NE(items, nullptr);
    NautilusMenu* submenu = nullptr;
    g_object_get(g_list_nth_data(items, 1), "menu", &submenu, nullptr);
    GList* templates = nautilus_menu_get_items(submenu);
    // The provider may go before its items (Nautilus drops both when the view changes).
    g_object_unref(m_provider);
    m_provider = nullptr;

    test::StandInHost host;
    nautilus_menu_item_activate(NAUTILUS_MENU_ITEM(g_list_nth_data(templates, 1)));
    const auto message = host.message();
    nautilus_menu_item_list_free(templates);
    g_object_unref(submenu);
    nautilus_menu_item_list_free(items);
    ASSERT_TRUE(message);
    ASSERT_EQ(message->urls.size(), 1u);
    EXPECT_FALSE(message->activates);
    EXPECT_EQ(verified(message->urls.front()), (CreateRequest{folder.string(), 1}));
}

} // namespace
} // namespace tessary
