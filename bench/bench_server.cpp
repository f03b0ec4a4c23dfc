// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
//
// The headless server on loopback: pairing round trips, connections per second, idle CPU and
// memory. A plain request/reply server in this process is the baseline for the same machine.
#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace bench;
using Clock = std::chrono::steady_clock;

namespace {
constexpr int roundTrips = 10'000;

std::vector<double> timeRoundTrips(uint16_t port, const std::string& message, const std::string& expectPrefix,
                                   const std::string& first = {})
{
    Client client(port);
    if (!first.empty())
        client.exchange(first);
    std::vector<double> us;
    us.reserve(roundTrips);
    for (int i = 0; i < roundTrips && client.ok(); ++i) {
        const auto start = Clock::now();
        const std::string reply = client.exchange(message);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (reply.rfind(expectPrefix, 0) != 0) {
            std::fprintf(stderr, "unexpected reply %s\n", reply.c_str());
            std::exit(1);
        }
    }
    return us;
}

double connectionsPerSecond(uint16_t port, const std::string& message, double seconds)
{
    int count = 0;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        Client client(port);
        if (!client.ok() || client.exchange(message).empty())
            break;
        ++count;
    }
    return count / seconds;
}

// A private bus without avahi-daemon: the server waits for the daemon on D-Bus signals, which
// is the idle state worth measuring. No root needed.
pid_t startPrivateBus(const std::string& socketPath)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const std::string address = "--address=unix:path=" + socketPath;
        std::freopen("/dev/null", "w", stderr); // its warnings about fd limits are not ours
        ::execlp("dbus-daemon", "dbus-daemon", "--session", address.c_str(), "--nofork", "--nopidfile",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 50 && ::access(socketPath.c_str(), F_OK) != 0; ++i)
        ::usleep(20'000);
    return pid;
}
} // namespace

int main()
{
    const std::string binary = requireServerBinary();
    const std::string busSocket = "/tmp/quillmote-bench-bus-" + std::to_string(::getpid());
    const pid_t bus = startPrivateBus(busSocket);
    const bool haveBus = ::access(busSocket.c_str(), F_OK) == 0;
    int status = 0;
    {
        auto server = std::make_unique<ServerProcess>(
            binary, std::vector<std::string>{"--headless", "--input", "none"},
            std::vector<std::string>{"DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + busSocket});
        if (!server->ready()) {
            std::fprintf(stderr, "the server did not start\n");
            status = 1;
        } else {
            EchoServer echo;
            const std::string pair = "PAIR:" + server->code();
            const Percentiles base = percentiles(timeRoundTrips(echo.port(), "PING", "ACK"));
            const Percentiles pairing = percentiles(timeRoundTrips(server->port(), pair, "PAIR_SUCCESS|"));
            // Through the gate to a command row; the none backend posts nothing.
            const Percentiles gated =
                percentiles(timeRoundTrips(server->port(), "MOVE:1,0", "ACK_MOVE", pair));
            const double baseConnections = connectionsPerSecond(echo.port(), "PING", 2.0);
            const double connections = connectionsPerSecond(server->port(), pair, 2.0);

            ::usleep(500'000);
            const double cpuBefore = server->cpuSeconds();
            const long switchesBefore = server->contextSwitches();
            ::sleep(5);
            const double idleCpu = server->cpuSeconds() - cpuBefore;
            const long idleSwitches = server->contextSwitches() - switchesBefore;
            const long rssIdle = server->residentKiB();
            std::vector<std::unique_ptr<Client>> idle;
            for (int i = 0; i < 200; ++i)
                idle.push_back(std::make_unique<Client>(server->port()));
            Client probe(server->port());
            const bool served = probe.exchange(pair).rfind("PAIR_SUCCESS|", 0) == 0;
            const long rssWith200 = server->residentKiB();

            std::printf("%-44s %12s %12s %12s\n", "round trip on loopback (µs)", "p50", "p99", "max");
            std::printf("%-44s %12.1f %12.1f %12.1f\n", "baseline: plain request/reply server", base.p50,
                        base.p99, base.max);
            std::printf("%-44s %12.1f %12.1f %12.1f\n", "PAIR: -> PAIR_SUCCESS| (10,000 in a row)",
                        pairing.p50, pairing.p99, pairing.max);
            std::printf("%-44s %12.2f %12.2f\n", "  ratio to baseline", pairing.p50 / base.p50,
                        pairing.p99 / base.p99);
            std::printf("%-44s %12.1f %12.1f %12.1f\n", "paired MOVE:1,0 -> ACK_MOVE (input none)", gated.p50,
                        gated.p99, gated.max);
            std::printf("%-44s %12.2f %12.2f\n", "  ratio to baseline", gated.p50 / base.p50,
                        gated.p99 / base.p99);
            std::printf("\n%-44s %12.0f\n", "baseline: connections per second", baseConnections);
            std::printf("%-44s %12.0f %8.2fx baseline\n", "connect + pair + close per second", connections,
                        connections / baseConnections);
            std::printf("\n%-44s %12.3f s over 5 s (%ld wakeups)%s\n", "idle CPU", idleCpu, idleSwitches,
                        haveBus ? "" : "  [no dbus-daemon: the bus is retried]");
            std::printf("%-44s %12.1f MB\n", "resident memory, idle", rssIdle / 1024.0);
            std::printf("%-44s %12.1f MB%s\n", "resident memory, 200 idle connections", rssWith200 / 1024.0,
                        served ? "" : "  [a new client was not served]");
            std::printf("\n%-44s p99 <= 150 µs: %s; memory <= 30 MB: %s; idle CPU zero: %s\n", "targets",
                        std::max(pairing.p99, gated.p99) <= 150 ? "met" : "MISSED",
                        std::max(rssIdle, rssWith200) <= 30 * 1024 ? "met" : "MISSED",
                        idleCpu == 0.0 ? "met" : "MISSED");
        }
    }
    if (bus > 0) {
        ::kill(bus, SIGTERM);
        ::waitpid(bus, nullptr, 0);
    }
    ::unlink(busSocket.c_str());
    return status;
}
