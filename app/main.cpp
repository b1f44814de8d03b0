// Entry point of the host `tessary`: the single background instance, the hand-over to it,
// and the command-line verbs for terminals and scripts.
#include "lifecycle/host_lifecycle.h"
#include "lifecycle/command_line.h"
#include "console_prompts.h"
#include "shared/create_request.h"
#include "shared/defaults_store.h"
#include "shared/host_channel.h"
#include "lifecycle/host_server.h"
#include "lifecycle/host_services.h"
#include "lifecycle/instance_lock.h"
#include "shared/localization.h"
#include "shared/logger.h"
#include "ui/host_windows.h"
#include "updates/update_checker.h"
#include "ui/widget_prompts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

using namespace tessary;

// Widgets need a display server, or a Qt platform chosen explicitly (offscreen in tests).
bool canShowWindows()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return (platform != nullptr && *platform != '\0') || hasGraphicalSession();
}

// Hands the URLs to the running instance, which may still be starting up.
int forwardToInstance(const CommandLine& line)
{
    const HostMessage message{line.urls, line.activate,
                              line.urls.empty() && !line.login && !line.shortcut, line.shortcut,
                              line.fileManager};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    DeliveryResult result;
    do {
        result = deliverToHost(message);
        if (result.status != DeliveryStatus::noHost) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    if (result.status != DeliveryStatus::delivered) {
        std::fprintf(stderr, "tessary: could not reach the running instance: %s\n",
                     result.error.c_str());
        return 1;
    }
    return 0;
}

int runHost(int argc, char** argv, const CommandLine& line)
{
    std::string error;
    const auto lock = InstanceLock::acquire(&error);
    if (!lock) {
        return forwardToInstance(line);
    }

    const bool graphical = canShowWindows();
    std::unique_ptr<QCoreApplication> application;
    std::unique_ptr<UserPrompts> prompts;
    if (graphical) {
        auto widgets = std::make_unique<QApplication>(argc, argv);
        widgets->setQuitOnLastWindowClosed(false);
        application = std::move(widgets);
        prompts = std::make_unique<WidgetPrompts>();
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
        prompts = std::make_unique<ConsolePrompts>();
    }
    application->setApplicationName(QStringLiteral("tessary"));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.orvane.tessary"));
    application->setApplicationVersion(QStringLiteral(TESSARY_VERSION));

    HostServices services(*prompts);
    const LaunchReason reason = line.login      ? LaunchReason::loginItem
                                : line.shortcut ? LaunchReason::shortcut
                                                : LaunchReason::user;
    HostLifecycle delegate(services.requests, services.queue, reason, &services.launchTasks);
    std::unique_ptr<HostWindows> windows;
    if (graphical) {
        const SettingsServices pages{
            services.diskAccess,  services.loginItem, services.fileManagers, services.hotKey,
            services.frontFolder, services.rename,    services.updates,      {}};
        windows = std::make_unique<HostWindows>(pages, delegate, services.workspace);
    }
    HostServer server([&delegate, &services, &windows](const HostMessage& message) {
        delegate.openUrls(message.urls, message.activates, message.fileManager);
        if (message.shortcut) {
            services.hotKey.pressed();
        }
        if (message.reopen && windows) {
            windows->showSettings();
        }
    });
    if (!server.listen(lock->socketPath(), &error)) {
        std::fprintf(stderr, "tessary: cannot listen on %s: %s\n", lock->socketPath().c_str(),
                     error.c_str());
        return 1;
    }

    if (!line.urls.empty()) {
        delegate.openUrls(line.urls, line.activate, line.fileManager);
    }
    // The launch tasks wait for the settings window's first paint when there is one.
    services.launchTasks.hold();
    delegate.finishLaunching();
    if (line.shortcut) {
        services.hotKey.pressed();
    }
    const auto releaseTasks = [&services] {
        guarded(Logger("app"), "Running the launch tasks",
                [&services] { services.launchTasks.release(); });
    };
    // A window shown now is painted before the launch tasks and the warm-up run.
    const bool showsWindow = delegate.openedByUser() && windows;
    if (showsWindow) {
        windows->showSettings();
        windows->afterFirstPaint(releaseTasks);
    } else {
        releaseTasks();
    }
    QTimer::singleShot(showsWindow ? 1000 : 0, [&services] {
        guarded(Logger("app"), "Warming up", [&services] { services.warmUp(); });
    });
    return application->exec();
}

int runCreate(int argc, char** argv, const CommandLine& line)
{
    QCoreApplication application(argc, argv);
    ConsolePrompts prompts;
    HostServices services(prompts);
    const SharedSettings settings = SharedSettings::load();
    const auto defaultIndex = settings.defaultTemplateIndex();
    const std::int64_t index =
        line.templateIndex.value_or(defaultIndex ? static_cast<std::int64_t>(*defaultIndex) : -1);
    if (settings.templateAt(index) == nullptr) {
        std::fprintf(stderr, "tessary: there is no template %s\n",
                     line.templateIndex ? std::to_string(*line.templateIndex).c_str() : "to use");
        return 1;
    }
    std::error_code error;
    const auto directory = std::filesystem::absolute(line.directory, error).lexically_normal();
    const auto created = services.requests.performCreate(CreateRequest{directory.string(), index});
    if (settings.renameImmediately && created) {
        // Let the delayed rename key press run before the process ends.
        QTimer::singleShot(RenameImmediately::kDelayMilliseconds + 100, &application,
                           &QCoreApplication::quit);
        application.exec();
    }
    services.workspace.settle(std::chrono::seconds(2));
    if (!created) {
        return 1;
    }
    std::printf("%s\n", created->c_str());
    return 0;
}

// The autostart entry, when the host starts at login: the file to delete to stop that.
std::optional<std::string> loginItemEntry(HostServices& services)
{
    if (services.loginItem.status() != LoginItemStatus::enabled) {
        return std::nullopt;
    }
    return AutostartLoginItems::entryPath().string();
}

int runGrant(const CommandLine& line)
{
    ConsolePrompts prompts;
    HostServices services(prompts);
    std::error_code error;
    const auto folder = std::filesystem::absolute(line.directory, error).lexically_normal();
    try {
        services.diskAccess.saveGrant(folder);
    } catch (const std::system_error& failure) {
        prompts.showAlert(tr("Couldn't save disk access"), failure.code().message());
        return 1;
    }
    services.loginItem.registerLoginItemOnFirstLaunch();
    std::printf("%s\n", folder.c_str());
    if (const auto entry = loginItemEntry(services)) {
        std::printf("%s\n", tr("Tessary also starts when you log in. To stop that, delete %@ "
                               "(tessary forget leaves it).",
                               *entry)
                                .c_str());
    }
    return 0;
}

int runForget()
{
    ConsolePrompts prompts;
    HostServices services(prompts);
    try {
        services.diskAccess.forgetDiskAccess();
    } catch (const std::system_error& failure) {
        prompts.showAlert(tr("Couldn't forget disk access"), failure.code().message());
        return 1;
    }
    if (const auto entry = loginItemEntry(services)) {
        std::printf(
            "%s\n",
            tr("Tessary still starts when you log in. To stop that, delete %@.", *entry).c_str());
    }
    return 0;
}

// A check the user asked for, answered on stdout (or stderr) instead of in alerts.
int runCheckUpdates(int argc, char** argv)
{
    if (!TESSARY_UPDATE_CHECK) {
        std::fprintf(stderr, "tessary: check-updates is not available: this build has no update "
                             "checker (updates come with the system's packages)\n");
        return 1;
    }
    QCoreApplication application(argc, argv);
    LinuxWorkspace workspace;
    UpdateChecker checker(workspace, nullptr);
    checker.check(true, [](const UpdateChecker::Result& result) {
        using Status = UpdateChecker::Result::Status;
        if (result.status == Status::upToDate) {
            std::printf("up to date: %s\n", TESSARY_VERSION);
        } else if (result.status == Status::available) {
            std::printf("update available: %s %s\n", result.release->version.c_str(),
                        result.release->url.c_str());
        } else {
            std::fprintf(stderr, "tessary: Couldn't check for updates: %s\n", result.error.c_str());
        }
        QCoreApplication::exit(result.status == Status::failed ? 1 : 0);
    });
    return application.exec();
}

} // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    const CommandLine line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    try {
        switch (line.mode) {
        case CommandLine::Mode::help:
            std::printf("%s", usageText().c_str());
            return 0;
        case CommandLine::Mode::version:
            std::printf("tessary %s\n", TESSARY_VERSION);
            return 0;
        case CommandLine::Mode::invalid:
            std::fprintf(stderr, "tessary: %s\n%s", line.error.c_str(), usageText().c_str());
            return 2;
        case CommandLine::Mode::create:
            return runCreate(argc, argv, line);
        case CommandLine::Mode::grant:
            return runGrant(line);
        case CommandLine::Mode::forget:
            return runForget();
        case CommandLine::Mode::checkUpdates:
            return runCheckUpdates(argc, argv);
        case CommandLine::Mode::host:
            return runHost(argc, argv, line);
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "tessary: %s\n", failure.what());
        return 1;
    }
    return 0;
}
