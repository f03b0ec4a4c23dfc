// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace bench {

// quillmote --headless started as a child with its own settings folder; ended on destruction.
class ServerProcess
{
public:
    ServerProcess(const std::string& binary, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& extraEnvironment);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool ready() const { return m_port != 0 && !m_code.empty(); }
    pid_t pid() const { return m_pid; }
    uint16_t port() const { return m_port; }
    const std::string& code() const { return m_code; }

    double cpuSeconds() const;
    long residentKiB() const;
    long contextSwitches() const;

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    uint16_t m_port = 0;
    std::string m_code;
    std::string m_configHome;
    std::thread m_drain;
};

// A blocking TCP client on 127.0.0.1.
class Client
{
public:
    explicit Client(uint16_t port);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    bool ok() const { return m_fd >= 0; }
    // Sends and waits for a reply; empty when none comes within timeoutMs.
    std::string exchange(const std::string& message, int timeoutMs = 2000);
    // What arrives next; empty when nothing comes within timeoutMs.
    std::string receive(int timeoutMs = 2000);

private:
    int m_fd = -1;
};

// Xvfb on a display it picks itself; ended on destruction.
class XvfbProcess
{
public:
    XvfbProcess();
    ~XvfbProcess();
    XvfbProcess(const XvfbProcess&) = delete;
    XvfbProcess& operator=(const XvfbProcess&) = delete;
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// The quillmote executable named by QUILLMOTE_BIN; exits with a message when it is not set.
std::string requireServerBinary();
// Exits with a message when the Xvfb did not start.
void requireDisplay(const XvfbProcess& xvfb);

struct Percentiles
{
    double p50, p99, max;
};
Percentiles percentiles(std::vector<double> microseconds);

// A TCP socket listening on a port of 127.0.0.1 the system chooses; flags as for socket().
int listenOnLoopback(int flags, int backlog, uint16_t* port);

// A plain request/reply server on loopback in this process: the floor for a round trip here.
class EchoServer
{
public:
    EchoServer();
    ~EchoServer();
    uint16_t port() const { return m_port; }

private:
    int m_listen = -1;
    uint16_t m_port = 0;
    std::thread m_acceptor;
    std::vector<std::thread> m_workers;
};

} // namespace bench
