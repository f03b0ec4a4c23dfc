// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QHostAddress>

#include <chrono>

namespace quillmote {

// Who sent a command: its connection's identity and where it comes from.
struct Peer
{
    // Unique for the life of the process, whatever carries the connection: a descriptor or an
    // address can be reused, an identity never.
    quint64 identity = 0;
    QHostAddress address;
    // What the user is shown about the client when it asks to pair (a browser's name); empty for
    // the phone app.
    QString name = {};
};

// The next identity, for a connection of any kind.
quint64 nextConnectionIdentity();

// What the server keeps of an open connection, whatever carries it (TCP, or a WebSocket of the
// browser remote): enough to bound the ones that have not paired.
class OpenConnection
{
public:
    virtual ~OpenConnection() = default;
    virtual const Peer& peer() const = 0;
    virtual std::chrono::steady_clock::time_point lastActivity() const = 0;
    // Ends it from our side.
    virtual void shutdown() = 0;
};

} // namespace quillmote
