// The release feed over Qt Network, version comparison, the launch rule and the alerts.
#include "updates/update_checker.h"

#include "shared/defaults_store.h"
#include "shared/localization.h"
#include "shared/logger.h"
#include "updates/product_website.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>

namespace tessary {
namespace {

const Logger kLog("updates");

constexpr std::string_view kRunningVersion = TESSARY_VERSION;
// A release feed is a few hundred bytes; anything much larger is not one.
constexpr qint64 kFeedLimit = 64 * 1024;
constexpr const char* kTooLargeProperty = "tessaryFeedTooLarge";

// Qt sets up its TLS library on the thread that first needs it, which takes 10 to 25 ms. A
// worker of the global pool (which the application waits for when it ends) does it once per
// process, and the requests that wait for it are sent from the event loop afterwards. The
// flags and the queue belong to the main thread.
bool g_tlsReady = false;
bool g_tlsStarted = false;
std::vector<std::function<void()>> g_afterTls;

void afterTlsSetUp(std::function<void()> then)
{
    if (g_tlsReady) {
        then();
        return;
    }
    g_afterTls.push_back(std::move(then));
    if (std::exchange(g_tlsStarted, true)) {
        return;
    }
    QThreadPool::globalInstance()->start([] {
        QSslSocket::supportsSsl();
        QSslConfiguration::defaultConfiguration();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [] {
                g_tlsReady = true;
                for (const auto& waiting : std::exchange(g_afterTls, {})) {
                    waiting();
                }
            },
            Qt::QueuedConnection);
    });
}

std::string releaseNotesURL()
{
    return productWebsite() + "/whats-new/";
}

// A decimal number with an optional sign, within 64 bits; anything else counts as 0. A number
// beyond 64 bits sets `outOfRange`.
std::int64_t versionPart(std::string_view part, bool& outOfRange)
{
    if (part.starts_with('+') && !part.substr(1).starts_with('-')) {
        part.remove_prefix(1);
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    outOfRange = outOfRange || error == std::errc::result_out_of_range;
    return error == std::errc() && end == part.data() + part.size() ? value : 0;
}

std::vector<std::int64_t> versionNumbers(std::string_view version, bool& outOfRange)
{
    std::vector<std::int64_t> numbers;
    while (!version.empty()) {
        const std::size_t dot = std::min(version.find('.'), version.size());
        if (dot > 0) {
            numbers.push_back(versionPart(version.substr(0, dot), outOfRange));
        }
        version.remove_prefix(std::min(dot + 1, version.size()));
    }
    return numbers;
}

// Control and format characters (bidi overrides and isolates, zero-width characters) and line
// or paragraph separators: text that would reorder, hide or break what is shown around it.
bool hasInvisibleCharacters(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            return false;
        }
    });
}

// The feed from a finished reply; throws UpdateCheckError.
UpdateChecker::Release readFeed(QNetworkReply& reply)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (reply.property(kTooLargeProperty).toBool() || (status.isValid() && status.toInt() != 200)) {
        throw UpdateCheckError::badServerResponse();
    }
    switch (reply.error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::OperationCanceledError: // the deadline aborts the reply
    case QNetworkReply::TimeoutError:
        throw UpdateCheckError::timedOut();
    default:
        throw UpdateCheckError::network(reply.errorString().toStdString());
    }
    if (!status.isValid()) {
        throw UpdateCheckError::badServerResponse(); // not an HTTP answer
    }
    const QByteArray body = reply.readAll();
    auto release = UpdateChecker::Release::decode(
        std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
    if (!release) {
        throw UpdateCheckError::cannotDecode();
    }
    return *std::move(release);
}

} // namespace

UpdateCheckError UpdateCheckError::badServerResponse()
{
    return UpdateCheckError(tr("The server returned a bad response."));
}

UpdateCheckError UpdateCheckError::timedOut()
{
    return UpdateCheckError(tr("The request timed out."));
}

UpdateCheckError UpdateCheckError::cannotDecode()
{
    return UpdateCheckError(
        tr("The data couldn’t be read because it isn’t in the correct format."));
}

UpdateCheckError UpdateCheckError::network(const std::string& description)
{
    return UpdateCheckError(description);
}

std::optional<UpdateChecker::Release> UpdateChecker::Release::decode(std::string_view json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    const QJsonValue version = object.value(QLatin1String("version"));
    const QJsonValue url = object.value(QLatin1String("url"));
    const QJsonValue published = object.value(QLatin1String("published"));
    if (!version.isString() || !url.isString() ||
        !(published.isUndefined() || published.isNull() || published.isString())) {
        return std::nullopt;
    }
    // The version goes into log lines, alerts and stdout as it is, and must compare as a
    // number; the desktop opens only an https page from the feed.
    bool outOfRange = false;
    versionNumbers(version.toString().toStdString(), outOfRange);
    const QUrl download(url.toString(), QUrl::StrictMode);
    if (hasInvisibleCharacters(version.toString()) || outOfRange || !download.isValid() ||
        download.scheme() != QLatin1String("https") || download.host().isEmpty()) {
        return std::nullopt;
    }
    Release release{version.toString().toStdString(), url.toString().toStdString(), {}};
    if (published.isString()) {
        release.published = published.toString().toStdString();
    }
    return release;
}

UpdateChecker::UpdateChecker(Workspace& workspace, UserPrompts* prompts,
                             std::chrono::milliseconds timeout)
    : m_workspace(workspace), m_prompts(prompts), m_timeout(timeout),
      m_lifetime(std::make_unique<QObject>())
{
}

UpdateChecker::~UpdateChecker() = default;

bool UpdateChecker::checksAutomatically()
{
    return DefaultsStore::standard().boolean(kCheckForUpdatesAutomaticallyKey).value_or(true);
}

std::error_code UpdateChecker::setChecksAutomatically(bool enabled)
{
    return DefaultsStore::standard().setBool(kCheckForUpdatesAutomaticallyKey, enabled);
}

bool UpdateChecker::isNewer(std::string_view version, std::string_view than)
{
    bool outOfRange = false;
    const std::vector<std::int64_t> a = versionNumbers(version, outOfRange);
    const std::vector<std::int64_t> b = versionNumbers(than, outOfRange);
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const std::int64_t left = i < a.size() ? a[i] : 0;
        const std::int64_t right = i < b.size() ? b[i] : 0;
        if (left != right) {
            return left > right;
        }
    }
    return false;
}

bool UpdateChecker::checkAtLaunch(Completion done)
{
    if (!TESSARY_UPDATE_CHECK || !checksAutomatically()) {
        return false;
    }
    const auto last = DefaultsStore::standard().date(kLastUpdateCheckKey);
    const auto now = DefaultsStore::Clock::now();
    // A last check in the future means the clock was set back: it does not hold checks off.
    if (last && *last <= now && now - *last <= kCheckInterval) {
        return false;
    }
    check(false, std::move(done));
    return true;
}

void UpdateChecker::check(bool userInitiated, Completion done)
{
    if (!TESSARY_UPDATE_CHECK) { // a build for a distribution that delivers updates itself
        if (done) {
            done({Result::Status::failed, std::nullopt, "this build has no update checker"});
        }
        return;
    }
    const QUrl feed(QString::fromStdString(productWebsite() + "/release.json"));
    if (feed.scheme() != QLatin1String("https")) {
        send(feed, userInitiated, std::move(done));
        return;
    }
    afterTlsSetUp([this, alive = QPointer<QObject>(m_lifetime.get()), feed, userInitiated,
                   done = std::move(done)]() mutable {
        if (alive) {
            send(feed, userInitiated, std::move(done));
        }
    });
}

void UpdateChecker::send(const QUrl& feed, bool userInitiated, Completion done)
{
    QNetworkRequest request(feed);
    request.setRawHeader("Accept", "application/json");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    QNetworkReply* reply = network().get(request);
    // One deadline for the whole request: a server that sends a byte now and then would keep
    // a transfer timeout from ever firing.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(m_timeout);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply](qint64 received, qint64 total) {
                         if (received > kFeedLimit || total > kFeedLimit) {
                             reply->setProperty(kTooLargeProperty, true);
                             reply->abort();
                         }
                     });
    // Queued, so alerts run from the event loop and never inside the network code.
    QObject::connect(
        reply, &QNetworkReply::finished, reply,
        [this, reply, userInitiated, done = std::move(done)] {
            reply->deleteLater();
            finish(*reply, userInitiated, done);
        },
        Qt::QueuedConnection);
}

QNetworkAccessManager& UpdateChecker::network()
{
    if (!m_network) {
        m_network = std::make_unique<QNetworkAccessManager>();
    }
    return *m_network;
}

void UpdateChecker::finish(QNetworkReply& reply, bool userInitiated, const Completion& done)
{
    Result result;
    try {
        result = conclude(readFeed(reply), userInitiated);
    } catch (const std::exception& failure) {
        kLog.error("Update check failed: %{public}s", failure.what());
        if (userInitiated && m_prompts != nullptr) {
            m_prompts->showAlert(tr("Couldn't check for updates"), failure.what());
        }
        result = {Result::Status::failed, std::nullopt, failure.what()};
    }
    if (done) {
        done(result);
    }
}

UpdateChecker::Result UpdateChecker::conclude(const Release& release, bool userInitiated)
{
    const DefaultsStore defaults = DefaultsStore::standard();
    if (m_prompts != nullptr) {
        // Only a successful read counts, so a failed automatic check is tried at next launch.
        static_cast<void>(defaults.setDate(kLastUpdateCheckKey, DefaultsStore::Clock::now()));
    }
    if (!isNewer(release.version, kRunningVersion)) {
        kLog.info("Up to date (%{public}s)", kRunningVersion);
        if (userInitiated && m_prompts != nullptr) {
            m_prompts->showAlert(tr("Tessary is up to date"),
                                 tr("Version %@ is the newest.", kRunningVersion));
        }
        return {Result::Status::upToDate, release, {}};
    }
    kLog.info("Update available: %{public}s", release.version);
    if (m_prompts != nullptr &&
        (userInitiated || defaults.string(kAnnouncedUpdateVersionKey) != release.version)) {
        static_cast<void>(defaults.setString(kAnnouncedUpdateVersionKey, release.version));
        announce(release);
    }
    return {Result::Status::available, release, {}};
}

void UpdateChecker::announce(const Release& release)
{
    enum Button : std::size_t { download, whatsNew, later };
    const std::size_t answer = m_prompts->runAlert(
        {tr("Tessary %@ is available", release.version),
         tr("You have %@. Download the new version and install it to replace this one.",
            kRunningVersion),
         {tr("Download"), tr("What’s New"), tr("Later")},
         later});
    if (answer == whatsNew) {
        m_workspace.openURL(releaseNotesURL());
    } else if (answer == download) {
        // decode() took only an https address with a host.
        const QUrl url(QString::fromStdString(release.url), QUrl::StrictMode);
        m_workspace.openURL(url.toString(QUrl::FullyEncoded).toStdString());
    }
}

} // namespace tessary
