// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
//
// Pointer moves through the x11 backend on Xvfb: the round trip of one move, and moves per
// second with 8 clients, against what scripts do on the same display in the same run: one
// xdotool process per move, and one xdotool fed moves through a pipe (no acknowledgement per
// move: the raw injection floor).
#include "BenchSupport.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace bench;
using Clock = std::chrono::steady_clock;

namespace {
constexpr int roundTrips = 10'000;
constexpr int spawnedMoves = 200;
constexpr int pipedMoves = 20'000;
constexpr int clients = 8;
constexpr double clientSeconds = 3.0;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// One xdotool per move; the seconds each move takes on average.
double xdotoolPerMove(const std::string& display)
{
    const auto start = Clock::now();
    for (int i = 0; i < spawnedMoves; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("DISPLAY", display.c_str(), 1);
            ::execlp("xdotool", "xdotool", "mousemove_relative", "--", i % 2 ? "-1" : "1", "0",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    return seconds(Clock::now() - start) / spawnedMoves;
}

// One xdotool reading moves from a pipe; the seconds each move takes on average.
double xdotoolPiped(const std::string& display)
{
    const std::string command = "DISPLAY=" + display + " xdotool -";
    const auto start = Clock::now();
    FILE* pipe = ::popen(command.c_str(), "w");
    if (!pipe)
        return 0;
    for (int i = 0; i < pipedMoves; ++i)
        std::fputs(i % 2 ? "mousemove_relative -- -1 0\n" : "mousemove_relative 1 0\n", pipe);
    ::pclose(pipe);
    return seconds(Clock::now() - start) / pipedMoves;
}
} // namespace

int main()
{
    const std::string binary = requireServerBinary();
    XvfbProcess xvfb;
    if (xvfb.display().empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    ServerProcess server(binary, {"--headless", "--input", "x11"}, {"DISPLAY=" + xvfb.display()});
    if (!server.ready()) {
        std::fprintf(stderr, "the server did not start\n");
        return 1;
    }
    const std::string pair = "PAIR:" + server.code();

    std::vector<double> us;
    {
        Client client(server.port());
        client.exchange(pair);
        us.reserve(roundTrips);
        for (int i = 0; i < roundTrips; ++i) {
            const auto start = Clock::now();
            // Back and forth, so that the pointer keeps moving instead of resting on an edge.
            const std::string reply = client.exchange(i % 2 ? "MOVE:-1,0" : "MOVE:1,0");
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            if (reply != "ACK_MOVE") {
                std::fprintf(stderr, "unexpected reply \"%s\"\n", reply.c_str());
                return 1;
            }
        }
    }
    const Percentiles move = percentiles(us);

    std::atomic<long> moves{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < clients; ++t) {
        threads.emplace_back([&] {
            Client client(server.port());
            client.exchange(pair);
            long done = 0;
            const auto end = Clock::now() + std::chrono::duration<double>(clientSeconds);
            while (Clock::now() < end && client.exchange(done % 2 ? "MOVE:-1,0" : "MOVE:1,0") == "ACK_MOVE")
                ++done;
            moves += done;
        });
    }
    for (std::thread& t : threads)
        t.join();
    const double concurrentRate = moves / clientSeconds;

    const double spawned = xdotoolPerMove(xvfb.display());
    const double piped = xdotoolPiped(xvfb.display());
    double totalUs = 0;
    for (const double v : us)
        totalUs += v;
    const double singleRate = 1e6 * us.size() / totalUs;

    std::printf("%-46s %12s %12s %12s\n", "MOVE:1,0 -> ACK_MOVE, x11 on Xvfb (µs)", "p50", "p99", "max");
    std::printf("%-46s %12.1f %12.1f %12.1f\n", "10,000 moves, one client", move.p50, move.p99, move.max);
    std::printf("\n%-46s %12s %14s\n", "moves per second", "rate", "vs quillmote");
    std::printf("%-46s %12.0f\n", "quillmote, one client (acknowledged)", singleRate);
    std::printf("%-46s %12.0f\n", "quillmote, 8 clients (acknowledged)", concurrentRate);
    std::printf("%-46s %12.0f %13.1fx\n", "baseline: xdotool started per move", 1.0 / spawned,
                singleRate * spawned);
    std::printf("%-46s %12.0f %13.2f\n", "baseline: one xdotool fed through a pipe", 1.0 / piped,
                concurrentRate * piped);
    std::printf("\n%-46s p99 <= 200 µs: %s; >= 20x xdotool per move: %s; 8 clients reach %.0f%% of the "
                "piped floor\n",
                "targets", move.p99 <= 200 ? "met" : "MISSED", singleRate * spawned >= 20 ? "met" : "MISSED",
                100.0 * concurrentRate * piped);
    return 0;
}
