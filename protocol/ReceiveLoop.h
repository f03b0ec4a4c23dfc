// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/Peer.h"
#include "util/Console.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <memory>
#include <optional>

namespace quillmote {

class CommandDispatcher;
class Connection;
class PairingGate;
class RemoteServer;

// The receive loop of every TCP connection the server accepts: reads of 1 to 1024 bytes, each
// cut into the commands it holds and answered with one write.
//
// A read that fills all 1024 bytes may end in the middle of a command (a client that streams
// without waiting, a long text): its last command is carried into the next read. So is the last
// command of a shorter read when it can only be the beginning of one ("MO", "MOVE:1,"): the
// network may cut a write anywhere. The work is shared out: a connection handles at most one
// read's commands per turn of the event loop, paired connections at once and the others a few
// per turn, so that a flood of strangers or one busy phone never holds up the paired ones. A connection whose
// peer does not take its replies is not read from until it has.
class ReceiveLoop : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype maxCarry = 64 * 1024;
    // A whole read of the shortest commands ("MOUSE_UP" is 8 bytes): one read, one write.
    static constexpr int commandsPerTurn = 128;
    static constexpr int unpairedPerTurn = 8;
    static constexpr qsizetype maxUnsentBytes = 64 * 1024;
    // A full read whose last command has nothing after it yet: the rest may still be on its
    // way, else the command was whole after all.
    static constexpr int carryWaitMs = 30;
    // A command that can only be a beginning waits longer for its rest: a lost segment comes
    // again after 200 ms at the soonest (Linux's least retransmission timeout), 400 ms if lost
    // twice. Past this it is handled as it stands, as it was before the wait: at most one
    // command (maxCarry bytes) per connection waits, and never for long.
    static constexpr int restWaitMs = 1000;

    ReceiveLoop(RemoteServer& server, PairingGate& gate, CommandDispatcher& dispatcher);

    void receiveNext(const std::shared_ptr<Connection>& connection);

private:
    struct Reader
    {
        std::shared_ptr<Connection> connection;
        QByteArray carry;
        // Started again by every read that leaves something carried.
        std::shared_ptr<QTimer> carryTimer;
        // Commands not handled yet, as views into the texts read.
        QStringList texts;
        std::deque<QStringView> commands;
        std::optional<QString> endLine;
        bool queued = false;
        // Not read from, nor served, until the pending reply has gone out.
        bool awaiting = false;
    };

    void onRead(const std::shared_ptr<Connection>& connection, const QByteArray& data, bool isComplete,
                const std::optional<QString>& error);
    void absorb(Reader& reader, const QByteArray& data);
    void takeCarry(Reader& reader);
    void carryTimeout(quint64 identity);
    void serve(quint64 identity);
    void resume(quint64 identity, const QString& reply);
    void finish(quint64 identity);
    void queue(Reader& reader);
    void drain();

    QPointer<RemoteServer> m_server;
    PairingGate& m_gate;
    CommandDispatcher& m_dispatcher;
    QHash<quint64, Reader> m_readers;
    std::deque<quint64> m_paired;
    std::deque<quint64> m_unpaired;
    bool m_drainPosted = false;
    console::RepeatedLines m_repeatedLines;
};

} // namespace quillmote
