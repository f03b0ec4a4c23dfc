// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
//
// A phone streaming touchpad moves over Wi-Fi: MOVE at 250 Hz for 10 s without waiting for
// replies, through a link that delays every packet by 5 ± 2 ms (two network namespaces joined
// by TUN devices, since this kernel has no netem), to the x11 backend on Xvfb. Counts the moves
// answered and how far the pointer went, with Nagle's algorithm on (as most clients leave it)
// and off. Needs root for the namespaces.
#include "BenchSupport.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <queue>
#include <random>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace bench;
using Clock = std::chrono::steady_clock;

namespace {
constexpr int rateHz = 250;
constexpr int streamSeconds = 10;
constexpr double step = 0.25;
constexpr auto delay = std::chrono::milliseconds(5);
constexpr auto jitter = std::chrono::milliseconds(2);

int run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str());
}

// Moves the calling thread into a named network namespace.
bool enter(const std::string& ns)
{
    const int fd = ::open(("/var/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

int openTun()
{
    const int fd = ::open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ifreq request{};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::strncpy(request.ifr_name, "qmdly", IFNAMSIZ - 1);
    if (fd >= 0 && ::ioctl(fd, TUNSETIFF, &request) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

// Two TUN devices, one in each namespace; every packet crosses after delay ± jitter
// (uniform), released in due-time order like netem's queue, so jitter may reorder.
class DelayLink
{
public:
    DelayLink(const std::string& a, const std::string& b)
    {
        std::thread([&] {
            if (enter(a))
                m_fd[0] = openTun();
            if (enter(b))
                m_fd[1] = openTun();
        }).join();
        if (ok())
            m_thread = std::thread([this] { forward(); });
    }
    ~DelayLink()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        for (const int fd : m_fd)
            if (fd >= 0)
                ::close(fd);
    }
    bool ok() const { return m_fd[0] >= 0 && m_fd[1] >= 0; }

private:
    struct Packet
    {
        Clock::time_point due;
        long seq;
        int to;
        std::string data;
        bool operator>(const Packet& other) const
        {
            return due != other.due ? due > other.due : seq > other.seq;
        }
    };

    void forward()
    {
        std::priority_queue<Packet, std::vector<Packet>, std::greater<>> queue;
        std::mt19937 random(42);
        std::uniform_real_distribution<double> spread(-1.0, 1.0);
        long seq = 0;
        while (!m_stop) {
            const auto now = Clock::now();
            while (!queue.empty() && queue.top().due <= now) {
                const Packet& p = queue.top();
                (void)!::write(m_fd[p.to], p.data.data(), p.data.size());
                queue.pop();
            }
            int timeoutMs = 20;
            if (!queue.empty())
                timeoutMs = static_cast<int>(std::clamp<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(queue.top().due - now).count(), 0,
                    20));
            pollfd fds[2] = {{m_fd[0], POLLIN, 0}, {m_fd[1], POLLIN, 0}};
            if (::poll(fds, 2, timeoutMs) <= 0)
                continue;
            for (int i = 0; i < 2; ++i) {
                char buffer[2048];
                for (ssize_t n;
                     (fds[i].revents & POLLIN) && (n = ::read(m_fd[i], buffer, sizeof buffer)) > 0;) {
                    const auto offset = std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double, std::milli>(spread(random) * jitter.count()));
                    queue.push({Clock::now() + delay + offset, seq++, 1 - i, std::string(buffer, n)});
                }
            }
        }
    }

    int m_fd[2] = {-1, -1};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

int pointerX(const std::string& display)
{
    const std::string command = "DISPLAY=" + display + " xdotool getmouselocation 2>/dev/null";
    FILE* out = ::popen(command.c_str(), "r");
    int x = -1;
    if (out) {
        if (std::fscanf(out, "x:%d", &x) != 1)
            x = -1;
        ::pclose(out);
    }
    return x;
}

struct StreamResult
{
    int sent = 0;
    long answered = 0;
    int moved = 0;
};

// The client side, run on a thread inside the phone's namespace.
StreamResult stream(const std::string& ns, uint16_t port, const std::string& code, bool noDelay,
                    const std::string& display)
{
    StreamResult result;
    std::thread([&] {
        if (!enter(ns))
            return;
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        ::inet_pton(AF_INET, "192.0.2.1", &to.sin_addr);
        const int flag = noDelay ? 1 : 0;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag);
        timeval timeout{3, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        char reply[256];
        const std::string pair = "PAIR:" + code;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 ||
            ::send(fd, pair.data(), pair.size(), 0) <= 0 || ::recv(fd, reply, sizeof reply, 0) <= 0) {
            ::close(fd);
            return;
        }
        run("DISPLAY=" + display + " xdotool mousemove 100 100");
        const int before = pointerX(display);

        std::atomic<long> answered{0};
        std::thread reader([&] {
            const std::string ack = "ACK_MOVE";
            std::string pending;
            for (char chunk[4096];;) {
                const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0)
                    break;
                pending.append(chunk, n);
                size_t at = 0;
                for (size_t found; (found = pending.find(ack, at)) != std::string::npos;
                     at = found + ack.size())
                    ++answered;
                pending.erase(0, at);
                if (answered >= rateHz * streamSeconds)
                    break;
            }
        });
        const std::string move = "MOVE:0.25,0";
        const auto start = Clock::now();
        for (int i = 0; i < rateHz * streamSeconds; ++i) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(1'000'000 / rateHz) * i);
            if (::send(fd, move.data(), move.size(), MSG_NOSIGNAL) > 0)
                ++result.sent;
        }
        reader.join(); // ends when every move was answered, or 3 s after the last reply
        result.answered = answered;
        // Each move is written to the X server before its ACK, but the server serves its clients in
        // turn: the last one may still be unread when xdotool asks.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        result.moved = pointerX(display) - before;
        ::close(fd);
    }).join();
    return result;
}
} // namespace

int main()
{
    const std::string binary = requireServerBinary();
    if (::geteuid() != 0) {
        std::printf("skipped: the slow link needs root (network namespaces and TUN devices)\n");
        return 0;
    }
    const std::string suffix = std::to_string(::getpid());
    const std::string host = "qm-sh-" + suffix, phone = "qm-sp-" + suffix;
    if (run("ip netns add " + host) != 0 || run("ip netns add " + phone) != 0) {
        std::printf("skipped: cannot create network namespaces here\n");
        run("ip netns del " + host);
        return 0;
    }
    int status = 0;
    {
        DelayLink link(host, phone);
        if (!link.ok()) {
            std::printf("skipped: no TUN devices here\n");
        } else {
            run("ip -n " + host + " addr add 192.0.2.1 peer 192.0.2.2 dev qmdly");
            run("ip -n " + phone + " addr add 192.0.2.2 peer 192.0.2.1 dev qmdly");
            for (const std::string& ns : {host, phone})
                run("ip -n " + ns + " link set qmdly up && ip -n " + ns + " link set lo up");
            XvfbProcess xvfb;
            ServerProcess server("/usr/sbin/ip",
                                 {"netns", "exec", host, binary, "--headless", "--input", "x11"},
                                 {"DISPLAY=" + xvfb.display()});
            if (xvfb.display().empty() || !server.ready()) {
                std::fprintf(stderr,
                             xvfb.display().empty() ? "Xvfb did not start\n" : "the server did not start\n");
                status = 1;
            } else {
                const int expected = static_cast<int>(std::lround(rateHz * streamSeconds * step));
                std::printf(
                    "MOVE:0.25,0 at %d Hz for %d s without waiting, over a link of 5 ± 2 ms, x11 on Xvfb\n\n",
                    rateHz, streamSeconds);
                std::printf("| client | moves sent | answered | lost | pointer moved (expected %d px) |\n",
                            expected);
                std::printf("|---|---:|---:|---:|---:|\n");
                for (const bool noDelay : {false, true}) {
                    const StreamResult r =
                        stream(phone, server.port(), server.code(), noDelay, xvfb.display());
                    std::printf("| TCP_NODELAY %s | %d | %ld | %ld | %d px |\n", noDelay ? "on" : "off",
                                r.sent, r.answered, r.sent - r.answered, r.moved);
                    if (r.sent == 0 || r.answered != r.sent || r.moved != expected)
                        status = 1;
                }
                std::printf("\ntarget: every move answered and the full distance moved: %s\n",
                            status == 0 ? "met" : "MISSED");
            }
        }
    }
    run("ip netns del " + host);
    run("ip netns del " + phone);
    return status;
}
