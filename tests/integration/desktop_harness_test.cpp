// The test desktop itself: the stand-in file manager answers on the private session bus and
// its log uses the test's clock, and keys typed on the display reach the focused window and
// only that one. The other integration tests' "nothing arrived" checks rest on these.
#include "desktop_support.h"

#include <gtest/gtest.h>

#include <gio/gio.h>

namespace tessary::test {
namespace {

// Calls a FileManager1 method synchronously; the D-Bus error name, empty on success.
std::string callFileManager(const char* method, const std::vector<const char*>& uris)
{
    g_autoptr(GError) error = nullptr;
    g_autoptr(GDBusConnection) bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        return error->message;
    }
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("as"));
    for (const char* uri : uris) {
        g_variant_builder_add(&builder, "s", uri);
    }
    g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
        "org.freedesktop.FileManager1", method, g_variant_new("(ass)", &builder, ""), nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr, &error);
    if (reply != nullptr) {
        return {};
    }
    g_autofree char* name = g_dbus_error_get_remote_error(error);
    return name != nullptr ? name : error->message;
}

TEST(StandInFileManager, LogsEachCallWithItsUrisOnTheTestsClock)
{
    TemporaryFolder folder;
    const auto before = Clock::now();
    FileManagerStandIn fileManager(folder.path(), {.window = false});
    ASSERT_TRUE(fileManager.ready());

    EXPECT_EQ(callFileManager("ShowItems", {"file:///tmp/a%20b.txt"}), "");
    EXPECT_EQ(callFileManager("ShowFolders", {"file:///tmp", "file:///home"}), "");
    EXPECT_EQ(callFileManager("ShowItemProperties", {}), "");

    EXPECT_EQ(fileManager.log().texts(), (std::vector<std::string>{
                                             "ready",
                                             "ShowItems file:///tmp/a%20b.txt",
                                             "ShowFolders file:///tmp file:///home",
                                             "ShowItemProperties ",
                                         }));
    for (const LoggedEvent& event : fileManager.log().events()) {
        EXPECT_GE(event.time, before);
        EXPECT_LE(event.time, Clock::now());
    }
}

TEST(StandInFileManager, RefusesWhenAskedAndLeavesTheNameToTheFirstOwner)
{
    TemporaryFolder folder;
    FileManagerStandIn refusing(folder.path(), {.window = false, .refuse = true});
    ASSERT_TRUE(refusing.ready());
    EXPECT_EQ(callFileManager("ShowItems", {"file:///x"}), "org.freedesktop.DBus.Error.Failed");
    EXPECT_TRUE(refusing.log().find("ShowItems file:///x"));

    TemporaryFolder other;
    FileManagerStandIn second(other.path(), {.window = false});
    EXPECT_FALSE(second.ready());
    EXPECT_EQ(second.stop(), 1);
}

TEST(TestWindows, KeysReachOnlyTheFocusedWindowWithTheirModifiers)
{
    TemporaryFolder folder;
    FileManagerStandIn fileManager(folder.path());
    OtherWindow other(folder.path());
    ASSERT_TRUE(fileManager.ready());
    ASSERT_TRUE(other.ready());

    ASSERT_TRUE(activateWindow(fileManager));
    ASSERT_TRUE(typeKey("F2"));
    ASSERT_TRUE(typeKey("shift+F2"));
    ASSERT_TRUE(waitUntil([&] { return fileManager.log().texts("Key").size() == 6; }))
        << ::testing::PrintToString(fileManager.log().texts())
        << ::testing::PrintToString(other.log().texts());
    EXPECT_EQ(fileManager.log().texts("Key"), (std::vector<std::string>{
                                                  "KeyPress F2",
                                                  "KeyRelease F2",
                                                  "KeyPress Shift_L",
                                                  "KeyPress F2 +Shift",
                                                  "KeyRelease Shift_L +Shift",
                                                  "KeyRelease F2",
                                              }));

    ASSERT_TRUE(activateWindow(other));
    ASSERT_TRUE(typeKey("Escape"));
    ASSERT_TRUE(other.log().waitFor("KeyRelease Escape"));
    EXPECT_EQ(other.log().texts("Key"),
              (std::vector<std::string>{"KeyPress Escape", "KeyRelease Escape"}));
    EXPECT_EQ(fileManager.log().texts("Key").size(), 6U);
}

} // namespace
} // namespace tessary::test
