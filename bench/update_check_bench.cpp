// How long an update check holds up the host's event loop: the longest gap between the ticks
// of a 1 ms timer while one check runs against a slow loopback server (the answer starts after
// 200 ms and then trickles in). The reported time of each repetition is that longest gap.
// The "first" benchmarks pay for what a process sets up on its first check and its first TLS
// connection. The https server's certificate is self-signed, so those checks end in a failed
// handshake, after the same work on the host's side as a successful one.
//
// Run, in build/release:
//   bench/update_check_bench --benchmark_repetitions=20 --benchmark_report_aggregates_only=true
// On a busy machine the time slices of other processes show up as pauses too ("noCheck" shows
// how much); `chrt -f 20` in front of the command keeps them out.
#include "platform/linux/linux_workspace.h"
#include "updates/update_checker.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using namespace tessary;

constexpr const char* kSlowServer = R"(
import http.server, ssl, sys, time
body = b'{"version": "999.1", "url": "https://example.org/tessary.deb", "published": "2031-05-01"}'
class Slow(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'
    def do_GET(self):
        time.sleep(0.2)
        self.send_response(200)
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        for i in range(0, len(body), 8):
            self.wfile.write(body[i:i + 8])
            self.wfile.flush()
            time.sleep(0.01)
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Slow)
if len(sys.argv) > 1:
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.load_cert_chain(sys.argv[1], sys.argv[2])
    server.socket = tls.wrap_socket(server.socket, server_side=True)
print(server.server_port, flush=True)
server.serve_forever()
)";

std::string g_httpSite;
std::string g_httpsSite;

// The argument picks the server: 0 plain HTTP, 1 HTTPS; 2 runs no check for half a second,
// for what the machine itself adds.
void longestGapDuringACheck(benchmark::State& state)
{
    const bool secure = state.range(0) == 1;
    const bool idle = state.range(0) == 2;
    ::setenv("TESSARY_WEBSITE", (secure ? g_httpsSite : g_httpSite).c_str(), 1);
    LinuxWorkspace workspace;
    for (auto _ : state) {
        UpdateChecker checker(workspace, nullptr);
        QElapsedTimer clock;
        qint64 lastTick = 0;
        qint64 longest = 0;
        QTimer ticks;
        ticks.setTimerType(Qt::PreciseTimer);
        ticks.setInterval(1);
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - lastTick);
            lastTick = now;
        });
        bool finished = false;
        bool failed = false;
        clock.start();
        ticks.start();
        if (idle) {
            QTimer::singleShot(500, [&] { finished = true; });
        } else {
            checker.check(false, [&](const UpdateChecker::Result& result) {
                finished = true;
                failed = result.status == UpdateChecker::Result::Status::failed;
            });
        }
        while (!finished) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        longest = std::max(longest, clock.nsecsElapsed() - lastTick);
        if (failed && !secure) {
            state.SkipWithError("the check failed");
            break;
        }
        state.SetIterationTime(static_cast<double>(longest) / 1e9);
    }
}
BENCHMARK(longestGapDuringACheck)
    ->Name("longestGap/noCheck")
    ->Arg(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(longestGapDuringACheck)
    ->Name("longestGap/http/first")
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(1);
BENCHMARK(longestGapDuringACheck)
    ->Name("longestGap/http/later")
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(longestGapDuringACheck)
    ->Name("longestGap/https/first")
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(1);
BENCHMARK(longestGapDuringACheck)
    ->Name("longestGap/https/later")
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Starts the slow server (with TLS when given a certificate and key); its site, or none.
std::optional<std::string> startServer(QProcess& server, const QStringList& tls)
{
    server.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral("-c"), QString::fromLatin1(kSlowServer)} + tls);
    if (!server.waitForReadyRead(10'000)) {
        return std::nullopt;
    }
    const std::string scheme = tls.isEmpty() ? "http" : "https";
    return scheme + "://127.0.0.1:" + server.readLine().trimmed().toStdString();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTemporaryDir folder;
    const QString certificate = folder.filePath(QStringLiteral("certificate.pem"));
    const QString key = folder.filePath(QStringLiteral("key.pem"));
    if (QProcess::execute(QStringLiteral("openssl"),
                          {QStringLiteral("req"), QStringLiteral("-x509"),
                           QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                           QStringLiteral("-nodes"), QStringLiteral("-subj"),
                           QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-keyout"), key,
                           QStringLiteral("-out"), certificate}) != 0) {
        return 1;
    }
    QProcess httpServer;
    QProcess httpsServer;
    const auto httpSite = startServer(httpServer, {});
    const auto httpsSite = startServer(httpsServer, {certificate, key});
    if (!httpSite || !httpsSite) {
        return 1;
    }
    g_httpSite = *httpSite;
    g_httpsSite = *httpsSite;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (QProcess* server : {&httpServer, &httpsServer}) {
        server->kill();
        server->waitForFinished();
    }
    return 0;
}
