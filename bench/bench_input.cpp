// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
//
// Pointer moves: the round trip of one move with the none, record and x11 backends against the
// floors measured in the same run (a plain TCP request/reply server in this process; XTest
// relative motion with XSync on the same Xvfb), and moves per second with 1 and 8 clients
// against what scripts do on the same display: one xdotool process per move, and one xdotool
// fed moves through a pipe (no acknowledgement per move: the raw injection floor).
#include "BenchSupport.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

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
// One relative XTest motion and an XSync, as a C program that waits for the server would.
Percentiles xtestFloor(const std::string& display)
{
    Display* x = XOpenDisplay(display.c_str());
    std::vector<double> us;
    if (!x)
        return {0, 0, 0};
    for (int i = 0; i < roundTrips; ++i) {
        const auto start = Clock::now();
        XTestFakeRelativeMotionEvent(x, i % 2 ? -1 : 1, 0, CurrentTime);
        XSync(x, False);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    XCloseDisplay(x);
    return percentiles(us);
}

std::vector<double> moveRoundTrips(uint16_t port, const std::string& pair, const std::string& expect)
{
    Client client(port);
    if (!pair.empty())
        client.exchange(pair);
    std::vector<double> us;
    us.reserve(roundTrips);
    for (int i = 0; i < roundTrips; ++i) {
        const auto start = Clock::now();
        // Back and forth, so that the pointer keeps moving instead of resting on an edge.
        const std::string reply = client.exchange(i % 2 ? "MOVE:-1,0" : "MOVE:1,0");
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (reply != expect) {
            std::fprintf(stderr, "unexpected reply \"%s\"\n", reply.c_str());
            std::exit(1);
        }
    }
    return us;
}

void printRow(const char* label, const Percentiles& p, const Percentiles* floor = nullptr)
{
    std::printf("%-46s %10.1f %10.1f", label, p.p50, p.p99);
    if (floor)
        std::printf(" %9.2fx %9.2fx", p.p50 / floor->p50, p.p99 / floor->p99);
    std::printf("\n");
}
} // namespace

int main()
{
    const std::string binary = requireServerBinary();
    XvfbProcess xvfb;
    requireDisplay(xvfb);
    ServerProcess server(binary, {"--headless", "--input", "x11"}, {"DISPLAY=" + xvfb.display()});
    if (!server.ready()) {
        std::fprintf(stderr, "the server did not start\n");
        return 1;
    }
    const std::string pair = "PAIR:" + server.code();

    const std::vector<double> us = moveRoundTrips(server.port(), pair, "ACK_MOVE");
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

    EchoServer echo;
    const Percentiles echoFloor = percentiles(moveRoundTrips(echo.port(), {}, "ACK"));
    const Percentiles xtest = xtestFloor(xvfb.display());
    const Percentiles none = [&] {
        ServerProcess other(binary, {"--headless", "--input", "none"}, {});
        return percentiles(moveRoundTrips(other.port(), "PAIR:" + other.code(), "ACK_MOVE"));
    }();
    const Percentiles record = [&] {
        char folder[] = "/tmp/quillmote-bench-record-XXXXXX";
        const std::string path = std::string(::mkdtemp(folder)) + "/events.jsonl";
        ServerProcess other(binary, {"--headless", "--input", "record:" + path}, {});
        const Percentiles p = percentiles(moveRoundTrips(other.port(), "PAIR:" + other.code(), "ACK_MOVE"));
        ::unlink(path.c_str());
        ::rmdir(folder);
        return p;
    }();

    std::printf("%-46s %10s %10s %10s %10s\n", "round trip, 10,000 each (µs)", "p50", "p99", "p50/floor",
                "p99/floor");
    printRow("floor: TCP request/reply in this process", echoFloor);
    printRow("MOVE:1,0 -> ACK_MOVE, input none", none, &echoFloor);
    printRow("MOVE:1,0 -> ACK_MOVE, input record", record, &echoFloor);
    printRow("floor: XTest relative motion + XSync", xtest);
    printRow("MOVE:1,0 -> ACK_MOVE, input x11 on Xvfb", move, &xtest);
    std::printf("\n%-46s %12s %14s\n", "moves per second", "rate", "vs quillmote");
    std::printf("%-46s %12.0f\n", "quillmote, one client (acknowledged)", singleRate);
    std::printf("%-46s %12.0f\n", "quillmote, 8 clients (acknowledged)", concurrentRate);
    std::printf("%-46s %12.0f %13.1fx\n", "baseline: xdotool started per move", 1.0 / spawned,
                singleRate * spawned);
    std::printf("%-46s %12.0f %13.2f\n", "baseline: one xdotool fed through a pipe", 1.0 / piped,
                concurrentRate * piped);
    std::printf("\n%-46s x11 within 1.2x / 1.5x of the XTest floor (p50 / p99): %s; none within 1.2x of the "
                "echo floor (p50): %s; 8 clients reach %.0f%% of the piped floor\n",
                "targets", move.p50 <= 1.2 * xtest.p50 && move.p99 <= 1.5 * xtest.p99 ? "met" : "MISSED",
                none.p50 <= 1.2 * echoFloor.p50 ? "met" : "MISSED", 100.0 * concurrentRate * piped);
    return 0;
}
