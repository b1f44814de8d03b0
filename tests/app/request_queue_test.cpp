// Requests reaching the running host through its socket while a prompt is open: they wait
// their turn and run in order, a failing request is logged without stopping the next, and a
// grant prompt takes the focus only for a request that asked for it. The first launch seeds
// the settings and the key but never replaces a stored document.
#include "lifecycle/host_lifecycle.h"
#include "lifecycle/host_server.h"
#include "lifecycle/host_services.h"

#include "fake_desktop.h"
#include "test_support.h"

#include <QCoreApplication>

#include <future>

namespace tessary {
namespace {

class RequestQueueTest : public test::ConfigFolderTest {
protected:
    void SetUp() override
    {
        ConfigFolderTest::SetUp();
        std::string error;
        ASSERT_TRUE(server.listen(*hostSocketPath(true), &error)) << error;
        test::capturedLog([&] { delegate.finishLaunching(); });
    }
    // One message per URL, as separate clicks send them; the event loop turns until the host
    // has taken them all.
    void deliver(const std::vector<std::string>& urls, bool activates)
    {
        auto sent = std::async(std::launch::async, [&] {
            for (const std::string& url : urls) {
                EXPECT_EQ(deliverToHost({{url}, activates, false}).status,
                          DeliveryStatus::delivered);
            }
        });
        test::waitUntil(
            [&] { return sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            test::kDeadline, [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
        QCoreApplication::processEvents();
    }
    std::string url(std::int64_t index)
    {
        return *CreateRequest{scratchFolder().string(), index}.signedURL(
            requestKey(DefaultsStore::appGroup()).value(), CreateRequest::Clock::now());
    }

    int argc = 0;
    QCoreApplication application{argc, nullptr};
    test::FakeDesktop prompts;
    HostServices services{prompts};
    HostLifecycle delegate{services.requests, services.queue, LaunchReason::user};
    HostServer server{[this](const HostMessage& message) {
        delegate.openUrls(message.urls, message.activates);
    }};
};

TEST_F(RequestQueueTest, RequestsWaitForThePromptOnScreenAndAFailureStopsNoOther)
{
    prompts.whileOpen = [&] {
        deliver({url(1), url(2)}, false);
    };
    prompts.button = 0;
    prompts.folder = scratchFolder();
    const std::string log = test::capturedLog([&] { deliver({url(0)}, false); });
    ASSERT_EQ(prompts.alerts.size(), 1u) << log;
    EXPECT_FALSE(prompts.alerts[0].bringForward) << "the request did not ask to come forward";
    std::size_t previous = 0;
    for (const char* name : {"untitled.txt", "untitled.md", "untitled\n"}) {
        const std::size_t created = log.find("Created " + (scratchFolder() / name).string());
        EXPECT_NE(created, std::string::npos) << name << " missing:\n" << log;
        EXPECT_GE(created, previous) << name << " out of order:\n" << log;
        previous = created;
    }

    services.diskAccess.forgetDiskAccess();
    prompts.whileOpen = [] {
        throw std::runtime_error("the dialog broke");
    };
    const std::string failure = test::capturedLog([&] { deliver({url(0), url(1)}, true); });
    EXPECT_NE(failure.find("the dialog broke"), std::string::npos) << failure;
    EXPECT_EQ(prompts.alerts.back().messageText, "Tessary needs access to your disk");
    EXPECT_TRUE(prompts.alerts.back().bringForward) << "the request asked to come forward";
}

TEST_F(RequestQueueTest, TheFirstLaunchSeedsTheSettingsAndKeyButNeverReplacesADocument)
{
    const DefaultsStore store = DefaultsStore::appGroup();
    EXPECT_TRUE(store.data(kSettingsKey));
    EXPECT_EQ(store.data(kRequestKeyKey).value_or(Bytes()).size(), 32u);
    const Bytes undecodable{'{', '}', '}'};
    ASSERT_FALSE(store.setData(kSettingsKey, undecodable));
    test::capturedLog([&] {
        HostLifecycle(services.requests, services.queue, LaunchReason::user).finishLaunching();
    });
    EXPECT_EQ(store.data(kSettingsKey), undecodable);
}

} // namespace
} // namespace tessary
