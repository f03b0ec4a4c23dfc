// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/Peer.h"
#include "util/Console.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

namespace quillmote {

class Connection;
class PairingGate;
class RemoteServer;
namespace input {
class InputController;
}
namespace actions {
class DesktopActions;
}

// The receive loop of every connection the server accepts and the command protocol on top of
// it: each read of 1 to 1024 bytes is one command message, answered with at most one bare reply.
class CommandDispatcher : public QObject
{
    Q_OBJECT
public:
    // Without an input controller the pointer and keyboard commands, and without desktop actions
    // the system and application commands, are ignored like unknown ones.
    CommandDispatcher(RemoteServer& server, PairingGate& gate, input::InputController* input,
                      actions::DesktopActions* actions);

    void receiveNext(const std::shared_ptr<Connection>& connection);

    void handleReceive(const QPointer<RemoteServer>& server, const std::shared_ptr<Connection>& connection,
                       const QByteArray& data, bool isComplete, const std::optional<QString>& error);
    // A read cut into the commands it holds: each piece runs from one keyword to the next,
    // except that "PAIR:", "CMD:" and "QUERY:APP:" take the rest; text before the first
    // keyword is a piece of its own. A read with one command is one piece, unchanged.
    static QList<QStringView> splitCommands(QStringView message);
    // The reply to one message from a peer, whatever carries it; empty means that nothing is sent.
    QString dispatchCommand(const Peer& peer, const QString& message);
    void sendReply(Connection& connection, const QString& text);
    QString pairWith(const Peer& peer, QStringView code);
    // A connection of any kind has ended: it is no longer paired, and the left button it held
    // down is released (a phone that loses its network mid-drag must not leave the desktop
    // dragging).
    void connectionEnded(const Peer& peer);

private:
    QPointer<RemoteServer> m_server;
    PairingGate& m_gate;
    input::InputController* m_input;
    actions::DesktopActions* m_actions;
    // The connection whose MOUSE_DOWN holds the left button, or 0.
    quint64 m_buttonHolder = 0;
    console::RepeatedLines m_repeatedLines;
};

} // namespace quillmote
