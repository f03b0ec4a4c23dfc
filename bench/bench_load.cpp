// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
//
// Phones streaming hard on loopback, each figure against its floor measured in the same run:
// a client that streams moves without waiting (how many reach the record file), reads that carry
// many moves at once (the cost per move against a single-threaded echo server answering the same
// bytes), and a probe's round trips while 8, 64 and 256 clients stream (against the same echo
// server under the same load).
#include "BenchSupport.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace bench;
using Clock = std::chrono::steady_clock;

namespace {
constexpr int streamedMoves = 20'000;
constexpr int movesPerRead = 120;
constexpr int mergedRounds = 200;
constexpr int probeSamples = 500;

int connectTo(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// Reads until `bytes` have arrived or nothing comes for waitMs.
bool receiveBytes(int fd, size_t bytes, int waitMs = 1000)
{
    char buffer[8192];
    size_t got = 0;
    while (got < bytes) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, waitMs) <= 0)
            return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

int pairedSocket(const ServerProcess& server)
{
    const int fd = connectTo(server.port());
    const std::string pair = "PAIR:" + server.code();
    if (fd < 0 || ::send(fd, pair.data(), pair.size(), MSG_NOSIGNAL) < 0 || !receiveBytes(fd, 13, 20'000)) {
        std::fprintf(stderr, "pairing failed\n");
        std::exit(1);
    }
    return fd;
}

// One thread, one epoll set, every read answered by one write of as many bytes: the least a
// server of this kind can do.
class PollEcho
{
public:
    PollEcho()
    {
        m_listen = bench::listenOnLoopback(SOCK_NONBLOCK, 512, &m_port);
        m_thread = std::thread([this] { run(); });
    }
    ~PollEcho()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
    }
    uint16_t port() const { return m_port; }

private:
    void run()
    {
        const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
        epoll_event event{EPOLLIN, {.fd = m_listen}};
        ::epoll_ctl(epoll, EPOLL_CTL_ADD, m_listen, &event);
        char buffer[1024];
        std::string reply;
        while (!m_stop) {
            epoll_event ready[64];
            const int n = ::epoll_wait(epoll, ready, 64, 50);
            for (int i = 0; i < n; ++i) {
                const int fd = ready[i].data.fd;
                if (fd == m_listen) {
                    for (int client; (client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
                        const int one = 1;
                        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                        epoll_event added{EPOLLIN, {.fd = client}};
                        ::epoll_ctl(epoll, EPOLL_CTL_ADD, client, &added);
                    }
                    continue;
                }
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (got <= 0) {
                    ::epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
                    ::close(fd);
                    continue;
                }
                reply.assign(static_cast<size_t>(got), 'A');
                ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            }
        }
        ::close(epoll);
    }

    int m_listen = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Clients that each send a move every millisecond (four times a fast touchpad) and throw the
// replies away.
class Streamers
{
public:
    Streamers(int count, const std::function<int()>& connect)
    {
        for (int i = 0; i < count; ++i) {
            const int fd = connect();
            if (fd < 0)
                continue;
            m_threads.emplace_back([this, fd] {
                const char move[] = "MOVE:1,0";
                char sink[4096];
                auto next = Clock::now();
                while (!m_stop) {
                    ::send(fd, move, sizeof move - 1, MSG_NOSIGNAL);
                    while (::recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0) {
                    }
                    next += std::chrono::milliseconds(1);
                    std::this_thread::sleep_until(next);
                }
                ::close(fd);
            });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200)); // under way before the probe
    }
    ~Streamers()
    {
        m_stop = true;
        for (std::thread& thread : m_threads)
            thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

Percentiles probe(int fd, size_t replyBytes)
{
    std::vector<double> us;
    for (int i = 0; i < probeSamples; ++i) {
        const auto start = Clock::now();
        if (::send(fd, "MOVE:1,0", 8, MSG_NOSIGNAL) < 0 || !receiveBytes(fd, replyBytes))
            break;
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return percentiles(us);
}

double microsecondsPerMove(int fd, size_t replyBytes)
{
    std::string read;
    for (int i = 0; i < movesPerRead; ++i)
        read += "MOVE:1,0";
    std::vector<double> us;
    for (int i = 0; i < mergedRounds; ++i) {
        const auto start = Clock::now();
        if (::send(fd, read.data(), read.size(), MSG_NOSIGNAL) < 0 || !receiveBytes(fd, replyBytes))
            break;
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / movesPerRead);
        ::usleep(1000); // one read at a time, as a phone's burst
    }
    return percentiles(us).p50;
}

long recordedMoves(const std::string& path)
{
    std::ifstream file(path);
    long moves = 0;
    for (std::string line; std::getline(file, line);)
        moves += line.find("\"type\":5") != std::string::npos;
    return moves;
}

void streamWithoutWaiting(const std::string& binary)
{
    char folder[] = "/tmp/quillmote-bench-load-XXXXXX";
    if (!::mkdtemp(folder))
        return;
    const std::string record = std::string(folder) + "/events.jsonl";
    long arrived = 0;
    {
        ServerProcess server(binary, {"--headless", "--input", "record:" + record}, {});
        if (!server.ready())
            return;
        const int fd = pairedSocket(server);
        std::atomic<bool> done{false};
        std::thread drain([&] {
            char sink[65536];
            while (!done)
                if (::recv(fd, sink, sizeof sink, MSG_DONTWAIT) <= 0)
                    ::usleep(200);
        });
        // As a client that buffers its writes: the moves, of varying lengths, leave in large
        // writes and arrive in reads that are full, cut anywhere.
        std::string stream;
        for (int i = 0; i < streamedMoves; ++i)
            stream += "MOVE:" + std::to_string(i % 200 - 100) + ",1";
        for (size_t at = 0; at < stream.size(); at += 4096)
            ::send(fd, stream.data() + at, std::min<size_t>(4096, stream.size() - at), MSG_NOSIGNAL);
        for (long last = -1; arrived != last; ::usleep(300'000)) {
            last = arrived;
            arrived = recordedMoves(record);
        }
        done = true;
        drain.join();
        ::close(fd);
    }
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
    std::printf("%-52s %10d %10ld %9.2f %%\n", "20,000 MOVE: streamed without waiting (floor: all)",
                streamedMoves, arrived, 100.0 * (streamedMoves - arrived) / streamedMoves);
}
} // namespace

int main()
{
    const std::string binary = requireServerBinary();
    std::printf("%-52s %10s %10s %10s\n", "stream", "sent", "recorded", "lost");
    streamWithoutWaiting(binary);

    ServerProcess server(binary, {"--headless", "--input", "none"}, {});
    if (!server.ready()) {
        std::fprintf(stderr, "the server did not start\n");
        return 1;
    }
    PollEcho echo;
    {
        const int quillmote = pairedSocket(server);
        const int floorFd = connectTo(echo.port());
        const double floor = microsecondsPerMove(floorFd, movesPerRead * 8);
        const double cost = microsecondsPerMove(quillmote, movesPerRead * 8);
        std::printf("\n%-52s %10s %10s %10s\n", "120 moves in one read (µs per move, p50)", "floor",
                    "quillmote", "ratio");
        std::printf("%-52s %10.3f %10.3f %9.1fx   target <= 2x: %s\n", "MOVE:1,0 x 120 -> ACK_MOVE x 120",
                    floor, cost, cost / floor, cost <= 2 * floor ? "met" : "MISSED");
        ::close(quillmote);
        ::close(floorFd);
    }

    std::printf("\n%-30s %10s %10s %10s %10s %10s\n", "probe while clients stream (µs)", "floor p50",
                "floor p99", "p50", "p99", "target p99");
    for (const int clients : {8, 64, 256}) {
        Percentiles floor, measured;
        {
            Streamers load(clients, [&] { return connectTo(echo.port()); });
            const int fd = connectTo(echo.port());
            floor = probe(fd, 8);
            ::close(fd);
        }
        {
            Streamers load(clients, [&] { return pairedSocket(server); });
            const int fd = pairedSocket(server);
            measured = probe(fd, 8);
            ::close(fd);
        }
        const double target = clients == 8 ? 1000 : clients == 64 ? 5000 : 0;
        std::printf("%-30s %10.0f %10.0f %10.0f %10.0f %10s\n",
                    (std::to_string(clients) + " streaming").c_str(), floor.p50, floor.p99, measured.p50,
                    measured.p99,
                    target == 0              ? "-"
                    : measured.p99 <= target ? "met"
                                             : "MISSED");
    }
    return 0;
}
