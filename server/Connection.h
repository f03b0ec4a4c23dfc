// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/Peer.h"
#include "util/UniqueFd.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace quillmote {

// One accepted TCP connection on a raw descriptor. Each completed read delivers 1 to
// maxRead bytes, or the end of the stream, or an error; a reset by the peer is an error,
// which QTcpSocket would fold into "remote host closed".
class Connection : public QObject, public OpenConnection
{
    Q_OBJECT
public:
    static constexpr qsizetype maxRead = 1024;
    static constexpr int keepAliveIdleSeconds = 30;
    static constexpr int keepAliveIntervalSeconds = 10;
    static constexpr int keepAliveProbes = 3;

    using Completion =
        std::function<void(const QByteArray& data, bool isComplete, const std::optional<QString>& error)>;

    // Takes ownership of an accepted, connected socket descriptor. The object is owned by the
    // shared pointers of whoever reads from it; the last one releases it on the event loop.
    static std::shared_ptr<Connection> adopt(int descriptor);

    ~Connection() override;

    const Peer& peer() const override { return m_peer; }
    quint64 identity() const { return m_peer.identity; }
    const QHostAddress& peerAddress() const { return m_peer.address; }
    std::chrono::steady_clock::time_point lastActivity() const override { return m_lastActivity; }

    // Arms one read; completion runs on the event loop once it has a result. One read at a time.
    void receive(Completion completion);
    // Queues bytes for sending without waiting; a failed send is ignored.
    void send(const QByteArray& bytes);
    // Bytes queued that the peer has not taken yet.
    qsizetype unsentBytes() const { return m_pendingOutput.size(); }
    // Calls handler once everything queued has gone out (or could not), at once if it has.
    void whenSent(std::function<void()> handler);
    // Bytes that have arrived and wait to be read.
    qsizetype bytesAvailable() const;
    // Ends the stream from our side: the pending read completes with the end of the stream.
    void shutdown() override;
    // Drops the pending read without completing it; used when its reader goes away.
    void abandon();

private:
    explicit Connection(int descriptor);
    void onReadable();
    void onWritable();
    void flush();
    void release();

    UniqueFd m_descriptor;
    Peer m_peer;
    std::chrono::steady_clock::time_point m_lastActivity;
    QSocketNotifier m_readNotifier;
    QSocketNotifier m_writeNotifier;
    Completion m_completion;
    QByteArray m_pendingOutput;
    std::function<void()> m_sent;
    bool m_released = false;
    bool m_inCallback = false;
};

} // namespace quillmote
