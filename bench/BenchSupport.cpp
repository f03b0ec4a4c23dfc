// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "BenchSupport.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

ServerProcess::ServerProcess(const std::string& binary, const std::vector<std::string>& arguments,
                             const std::vector<std::string>& extraEnvironment)
{
    char pattern[] = "/tmp/quillmote-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return;
    m_configHome = pattern;
    // Phones in other network namespaces are new devices: pair them without a question, as the
    // tests do, or nobody is there to answer it.
    if (::mkdir((m_configHome + "/Quillmote").c_str(), 0700) == 0)
        std::ofstream(m_configHome + "/Quillmote/Quillmote.conf") << "[General]\nAskBeforeNewDevice=false\n";
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM); // an interrupted benchmark leaves nothing running
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::setenv("XDG_CONFIG_HOME", m_configHome.c_str(), 1);
        for (const std::string& assignment : extraEnvironment)
            ::putenv(const_cast<char*>(assignment.c_str()));
        std::vector<char*> argv{const_cast<char*>(binary.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    m_stdout = pipeFds[0];
    std::string buffer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!ready() && std::chrono::steady_clock::now() < deadline) {
        pollfd p{m_stdout, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        char chunk[512];
        const ssize_t n = ::read(m_stdout, chunk, sizeof chunk);
        if (n <= 0)
            break;
        buffer.append(chunk, static_cast<size_t>(n));
        std::istringstream lines(buffer);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("Listening on port ", 0) == 0)
                m_port = static_cast<uint16_t>(std::stoi(line.substr(18)));
            if (line.rfind("Pairing code: ", 0) == 0)
                m_code = line.substr(14);
        }
    }
    // Keep reading its output: a server whose stdout pipe fills up blocks on the next line.
    m_drain = std::thread([fd = m_stdout] {
        char chunk[4096];
        while (::read(fd, chunk, sizeof chunk) > 0) {
        }
    });
}

ServerProcess::~ServerProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_drain.joinable())
        m_drain.join();
    if (m_stdout >= 0)
        ::close(m_stdout);
    if (!m_configHome.empty())
        std::system(("rm -rf '" + m_configHome + "'").c_str());
}

double ServerProcess::cpuSeconds() const
{
    std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 0; i < 13 && fields >> field; ++i) {
        if (i == 11 || i == 12)
            ticks += std::stol(field);
    }
    return static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

static long statusField(pid_t pid, const std::string& name)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    long total = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(name, 0) == 0)
            total += std::stol(line.substr(line.find(':') + 1));
    }
    return total;
}

long ServerProcess::residentKiB() const
{
    return statusField(m_pid, "VmRSS");
}

long ServerProcess::contextSwitches() const
{
    return statusField(m_pid, "voluntary_ctxt_switches") + statusField(m_pid, "nonvoluntary_ctxt_switches");
}

Client::Client(uint16_t port)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

Client::~Client()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string Client::exchange(const std::string& message, int timeoutMs)
{
    if (::send(m_fd, message.data(), message.size(), MSG_NOSIGNAL) < 0)
        return {};
    return receive(timeoutMs);
}

std::string Client::receive(int timeoutMs)
{
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return {};
    char buffer[65536];
    const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

XvfbProcess::XvfbProcess()
{
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-noreset", "-nolisten", "tcp", "-screen", "0", "1920x1080x24", "-displayfd",
                 fd.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    // The number ends with a newline; a busy machine (or a signal) may split or delay it. Closing
    // the pipe before it came would make the server fail to write it and exit.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        char chunk[32];
        const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n == 0 || (n < 0 && errno != EINTR))
            break;
        if (n > 0)
            number.append(chunk, static_cast<size_t>(n));
    }
    if (number.find('\n') != std::string::npos)
        m_display = ":" + number.substr(0, number.find('\n'));
    ::close(fds[0]);
    // The display number can arrive a moment before the server takes clients.
    const std::string probe = "DISPLAY=" + m_display + " xdotool getmouselocation >/dev/null 2>&1";
    for (int i = 0; i < 200 && !m_display.empty() && std::system(probe.c_str()) != 0; ++i)
        ::usleep(50'000);
}

XvfbProcess::~XvfbProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
}

std::string requireServerBinary()
{
    const char* binary = std::getenv("QUILLMOTE_BIN");
    if (!binary) {
        std::fprintf(stderr, "set QUILLMOTE_BIN to the quillmote executable\n");
        std::exit(2);
    }
    return binary;
}

void requireDisplay(const XvfbProcess& xvfb)
{
    if (xvfb.display().empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        std::exit(1);
    }
}

Percentiles percentiles(std::vector<double> us)
{
    if (us.empty())
        return {0, 0, 0};
    std::sort(us.begin(), us.end());
    const auto at = [&](double q) { return us[std::min(us.size() - 1, static_cast<size_t>(q * us.size()))]; };
    return {at(0.50), at(0.99), us.back()};
}

int listenOnLoopback(int flags, int backlog, uint16_t* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, backlog);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    return fd;
}

EchoServer::EchoServer()
{
    m_listen = listenOnLoopback(0, 128, &m_port);
    m_acceptor = std::thread([this] {
        for (;;) {
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                return;
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            m_workers.emplace_back([fd] {
                char buffer[1024];
                while (::recv(fd, buffer, sizeof buffer, 0) > 0)
                    ::send(fd, "ACK", 3, MSG_NOSIGNAL);
                ::close(fd);
            });
        }
    });
}

EchoServer::~EchoServer()
{
    ::shutdown(m_listen, SHUT_RDWR);
    ::close(m_listen);
    m_acceptor.join();
    for (std::thread& worker : m_workers)
        worker.join();
}

} // namespace bench
