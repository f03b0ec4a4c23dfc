// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QByteArray>
#include <QString>

namespace quillmote::test {

// A plain TCP client on the loopback network for a server that runs on this thread's event
// loop: every wait keeps the loop turning so the server can answer.
class LoopbackClient
{
public:
    explicit LoopbackClient(quint16 port, const char* sourceAddress = "127.0.0.1");
    ~LoopbackClient();
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    bool isConnected() const { return m_fd >= 0; }
    void send(const QByteArray& bytes);
    // What arrives within waitMs, returned as soon as anything arrives (empty: nothing).
    QByteArray receive(int waitMs = 2000);
    QByteArray exchange(const QByteArray& message, int waitMs = 2000);
    // True when nothing arrives within waitMs.
    bool staysSilent(int waitMs = 200);
    // True when the server ends the stream within waitMs.
    bool isEndedByServer(int waitMs = 2000);
    // Ends our side of the stream (FIN), or resets the connection (RST).
    void finish();
    void reset();
    void close();

private:
    int m_fd = -1;
    bool m_peerEnded = false;
};

// Lets the event loop run for a while, for work posted to it.
void spinEventLoop(int ms);

} // namespace quillmote::test
