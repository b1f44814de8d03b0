// Tells the user when a newer version has been published: reads the release feed below the
// product website, compares its version with the running one and offers the download. Runs
// on the host's event loop; the network read never blocks it.
#pragma once

#include "user_prompts.h"
#include "workspace.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

namespace tessary {

// The host's own defaults domain holds the checker's state.
inline constexpr std::string_view kCheckForUpdatesAutomaticallyKey = "checkForUpdatesAutomatically";
inline constexpr std::string_view kLastUpdateCheckKey = "lastUpdateCheck";
inline constexpr std::string_view kAnnouncedUpdateVersionKey = "announcedUpdateVersion";

class UpdateCheckError : public std::runtime_error {
public:
    static UpdateCheckError badServerResponse();
    static UpdateCheckError timedOut();
    static UpdateCheckError cannotDecode();
    // A transport failure, with the network layer's description.
    static UpdateCheckError network(const std::string& description);

private:
    using std::runtime_error::runtime_error;
};

class UpdateChecker {
public:
    // The release feed's contents.
    struct Release {
        std::string version;
        std::string url; // the download; opened only when it is https
        std::optional<std::string> published;

        // A JSON object with the strings "version" and "url" (a valid URL) and optionally
        // "published"; other keys are ignored. None when the text is anything else.
        static std::optional<Release> decode(std::string_view json);
    };

    struct Result {
        enum class Status { upToDate, available, failed };
        Status status = Status::failed;
        std::optional<Release> release; // when the feed was read
        std::string error;              // failed: the error's description
    };
    // Called once per check when it has finished, after any alert was answered; not at all
    // when the checker is destroyed first.
    using Completion = std::function<void(const Result&)>;

    static constexpr std::chrono::milliseconds kTimeout{15'000};
    static constexpr std::chrono::seconds kCheckInterval{86'400};

    // With `prompts` the checker answers through alerts and keeps its state in the host's
    // defaults. Without, it only reports to the completion (the command line prints the
    // result) and leaves that state alone, so it never changes what the host announces.
    UpdateChecker(Workspace& workspace, UserPrompts* prompts,
                  std::chrono::milliseconds timeout = kTimeout);
    ~UpdateChecker();
    UpdateChecker(const UpdateChecker&) = delete;
    UpdateChecker& operator=(const UpdateChecker&) = delete;

    // "checkForUpdatesAutomatically": true unless a bool false is stored.
    static bool checksAutomatically();
    static std::error_code setChecksAutomatically(bool enabled);
    // Compares dot-separated version numbers; a part that is not a number counts as 0.
    static bool isNewer(std::string_view version, std::string_view than);

    // At launch: starts an automatic check when checks are on and the last successful one
    // is more than a day ago. Returns at once; true when a check was started.
    bool checkAtLaunch(Completion done = {});
    // Starts a check and returns at once. A check the user asked for always answers; an
    // automatic one announces each new version once and fails silently. Never throws.
    void check(bool userInitiated, Completion done = {});

private:
    void send(const QUrl& feed, bool userInitiated, Completion done);
    QNetworkAccessManager& network();
    void finish(QNetworkReply& reply, bool userInitiated, const Completion& done);
    Result conclude(const Release& release, bool userInitiated);
    void announce(const Release& release);

    Workspace& m_workspace;
    UserPrompts* m_prompts;
    std::chrono::milliseconds m_timeout;
    std::unique_ptr<QNetworkAccessManager> m_network;        // made by the first check
    std::shared_ptr<int> m_alive = std::make_shared<int>(0); // for work that may outlive this
};

} // namespace tessary
