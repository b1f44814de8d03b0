// The host's first launch: the settings and the key seeded, a stored document kept.
#include "lifecycle/host_lifecycle.h"
#include "console_prompts.h"
#include "lifecycle/host_services.h"

#include "test_support.h"

namespace tessary {
namespace {

class LifecycleTest : public test::ConfigFolderTest {
protected:
    ConsolePrompts prompts;
    HostServices services{prompts};
};

TEST_F(LifecycleTest, TheFirstLaunchSeedsTheSettingsAndKeyButNeverReplacesADocument)
{
    const DefaultsStore store = DefaultsStore::appGroup();
    const Bytes undecodable{'{', '}', '}'};
    for (const bool stored : {false, true}) {
        test::capturedLog([&] {
            HostLifecycle(services.requests, services.queue, LaunchReason::user).finishLaunching();
        });
        EXPECT_EQ(store.data(kSettingsKey) == undecodable, stored);
        EXPECT_EQ(store.data(kRequestKeyKey).value_or(Bytes()).size(), 32u);
        ASSERT_FALSE(store.setData(kSettingsKey, undecodable));
    }
}

} // namespace
} // namespace tessary
