// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
//
// Guessing the pairing code from thousands of loopback source addresses, as any local user
// could, against the real server and throttle in this process: how many guesses the server
// answers, how many of them it actually checks, and the expected time to find the code. The
// baseline is the same attack if every answered guess were checked. Meanwhile a paired phone
// streams MOVE round trips: its latency under the flood against the same phone before it.
#include "BenchSupport.h"
#include "input/InputController.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/ReceiveLoop.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"
#include "server/ServiceAdvertiser.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quillmote;
using Clock = std::chrono::steady_clock;

namespace {
constexpr int sources = 5000;
constexpr int attackers = 2;
constexpr std::chrono::seconds duration{40};
// The burst is spent within the first seconds; the rate after it is what lasts.
constexpr std::chrono::seconds steadyFrom{10};
constexpr std::chrono::seconds quiet{5};

class SilentAdvertiser : public ServiceAdvertiser
{
public:
    void advertise(const QString&, const QString&, quint16) override {}
};

// One guess from 127.10.x.y: connect, send, read the reply, close. False when nothing answered.
bool guess(uint16_t port, uint32_t source, const std::string& message)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(source);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    char reply[64];
    const bool answered = ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
                          ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
                          ::send(fd, message.data(), message.size(), MSG_NOSIGNAL) > 0 &&
                          ::recv(fd, reply, sizeof reply, 0) > 0;
    ::close(fd);
    return answered;
}

// A paired phone's MOVE round trips, each with the time it was sent.
struct Moves
{
    std::vector<std::pair<Clock::time_point, double>> sent;

    bench::Percentiles between(Clock::time_point from, Clock::time_point to) const
    {
        std::vector<double> us;
        for (const auto& [at, micros] : sent) {
            if (at >= from && at < to)
                us.push_back(micros);
        }
        return bench::percentiles(us);
    }
};
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir settings;
    const Settings settingsFile(settings.filePath(QStringLiteral("Quillmote.conf")));
    PairingGate gate(settingsFile);
    RemoteServer server({
        .gate = gate,
        .advertiserFactory = [] { return std::make_unique<SilentAdvertiser>(); },
        .name = QStringLiteral("Bench"),
        .unpairedConnectionLimit = 0,
    });
    input::InputController input{input::InputBackend{}};
    CommandDispatcher dispatcher(server, gate, &input, nullptr);
    ReceiveLoop receiveLoop(server, gate, dispatcher);
    quint16 port = 0;
    QObject::connect(&server, &RemoteServer::listening, &app, [&port](quint16 p) { port = p; });
    server.start();
    while (port == 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const int code = gate.pairingCode().toInt();
    const std::string wrong = "PAIR:" + std::to_string(100000 + (code + 1) % 900000);

    std::atomic<bool> stop{false};
    Moves moves;
    std::thread phone([&] {
        bench::Client client(port);
        if (client.exchange("PAIR:" + gate.pairingCode().toStdString()).rfind("PAIR_SUCCESS", 0) != 0)
            return;
        while (!stop) {
            const auto at = Clock::now();
            if (client.exchange("MOVE:1,0", 10000).empty())
                return;
            moves.sent.emplace_back(at, std::chrono::duration<double, std::micro>(Clock::now() - at).count());
            std::this_thread::sleep_for(std::chrono::milliseconds(2)); // a phone's pace, not a flood
        }
    });
    const auto quietFrom = Clock::now();
    while (Clock::now() < quietFrom + quiet)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    std::atomic<long> answered{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < attackers; ++t) {
        threads.emplace_back([&, t] {
            for (uint32_t i = t; !stop; i += attackers) {
                const uint32_t source = (127u << 24) | (10u << 16) | (i % sources + 1);
                if (guess(port, source, wrong))
                    ++answered;
            }
        });
    }
    const auto start = Clock::now();
    quint64 checkedAtSteady = 0;
    long answeredAtSteady = 0;
    QTimer::singleShot(steadyFrom, &app, [&] {
        checkedAtSteady = gate.throttle().checkedFailures();
        answeredAtSteady = answered;
    });
    QTimer::singleShot(duration, &app, [&] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    stop = true;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // The attackers' last guesses need the event loop to be answered.
    for (auto end = Clock::now() + std::chrono::seconds(3); Clock::now() < end;)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    for (std::thread& thread : threads)
        thread.join();
    phone.join();
    const bench::Percentiles before = moves.between(quietFrom, start);
    const bench::Percentiles flooded = moves.between(start, start + duration);

    const double steadySeconds = seconds - std::chrono::duration<double>(steadyFrom).count();
    const double answeredPerSecond = static_cast<double>(answered - answeredAtSteady) / steadySeconds;
    const quint64 checked = gate.throttle().checkedFailures();
    const double checkedPerSecond = static_cast<double>(checked - checkedAtSteady) / steadySeconds;
    constexpr double averageGuesses = 500'000;
    const auto days = [](double perSecond) {
        return perSecond > 0 ? averageGuesses / perSecond / 86400 : 0.0;
    };

    std::printf("Guessing the pairing code from %d loopback addresses, %d attacker threads, %.0f s "
                "(rates from %lld s on, after the burst of %d)\n\n",
                sources, attackers, seconds, static_cast<long long>(steadyFrom.count()),
                PairingThrottle::burst);
    std::printf("| attack | guesses answered/s | wrong codes checked | checked/s | expected time to find the "
                "code |\n");
    std::printf("|---|---:|---:|---:|---:|\n");
    std::printf("| every answered guess checked (baseline) | %.0f | %ld | %.0f | %.0f s |\n",
                answeredPerSecond, static_cast<long>(answered), answeredPerSecond,
                averageGuesses / answeredPerSecond);
    std::printf("| this server | %.0f | %llu | %.3f | %.1f days |\n", answeredPerSecond,
                static_cast<unsigned long long>(checked), checkedPerSecond, days(checkedPerSecond));
    std::printf(
        "\nratio to the baseline: %.0f x slower; bound by design: %.1f days; sources remembered: %lld "
        "(at most %lld)\n",
        answeredPerSecond / std::max(checkedPerSecond, 1e-9),
        PairingThrottle::expectedTimeToGuess().count() / 24.0,
        static_cast<long long>(gate.throttle().sourceCount()),
        static_cast<long long>(PairingThrottle::maxSources));
    std::printf("\npaired MOVE round trip (ms)        p50      p99      max\n");
    std::printf("before the flood (baseline)   %8.3f %8.3f %8.3f\n", before.p50 / 1000, before.p99 / 1000,
                before.max / 1000);
    std::printf("during the flood              %8.3f %8.3f %8.3f   p99 %.1fx baseline\n", flooded.p50 / 1000,
                flooded.p99 / 1000, flooded.max / 1000, flooded.p99 / before.p99);
    const bool met = before.p99 > 0 && flooded.p99 > 0 && flooded.p99 <= 1000;
    std::printf("target: p99 <= 1 ms during the flood: %s\n", met ? "met" : "NOT met");
    return 0;
}
