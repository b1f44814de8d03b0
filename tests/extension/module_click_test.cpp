// A click in the real Nautilus module returns to Nautilus before the host has even answered,
// and the request still reaches the host.
#include "extension_test_support.h"
#include "nautilus_test_host.h"

#include <gtest/gtest.h>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessary {
namespace {

class ModuleClickTest : public test::ExtensionTest {};

TEST_F(ModuleClickTest, AClickReturnsBeforeTheHostAnswers)
{
    GType type = g_type_from_name("TessaryMenuProvider");
    if (type == 0) {
        type = test::loadNautilusModule(TESSARY_MODULE);
    }
    test::storeTemplates({test::makeTemplate("Notes")}, std::nullopt, true);
    // A host that takes connections only when told to, and answers only then.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, hostSocketPath(true)->c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 4), 0);

    auto* provider = NAUTILUS_MENU_PROVIDER(g_object_new(type, nullptr));
    NautilusFileInfo* folder = test::fileInfo(test::fileUri(scratchFolder()));
    GList* items = nautilus_menu_provider_get_background_items(provider, folder);
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
    nautilus_menu_item_list_free(items);
    g_object_unref(folder);
    g_object_unref(provider);
}

} // namespace
} // namespace tessary
