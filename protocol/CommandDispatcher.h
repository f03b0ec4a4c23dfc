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

#include <functional>
#include <memory>
#include <optional>

namespace quillmote {

class DeviceApproval;
class PairingGate;
class RemoteServer;
namespace input {
class InputController;
}
namespace actions {
class DesktopActions;
}

// The command protocol: the pairing gate's place in it and the table of commands with their
// replies, for connections of any kind (TCP through ReceiveLoop, WebSockets of the browser
// remote).
class CommandDispatcher : public QObject
{
    Q_OBJECT
public:
    // A reply that comes later: a new device's pairing waits for the user's answer.
    struct Deferral
    {
        std::function<void(const QString& reply)> reply;
        bool deferred = false; // set when `reply` will be called
    };

    // Without an input controller the pointer and keyboard commands, and without desktop actions
    // the system and application commands, are ignored like unknown ones; without an approval
    // every device pairs with the code.
    CommandDispatcher(RemoteServer& server, PairingGate& gate, input::InputController* input,
                      actions::DesktopActions* actions, DeviceApproval* approval = nullptr);

    // A read cut into the commands it holds: each piece runs from one keyword to the next,
    // except that "PAIR:", "CMD:" and "QUERY:APP:" take the rest; text before the first
    // keyword is a piece of its own. A read with one command is one piece, unchanged.
    static QList<QStringView> splitCommands(QStringView message);
    // A command that can only be the beginning of one, as the last of a read that the network
    // cut short: a keyword cut short, arguments that do not convert yet but may with more
    // characters (a number, base64, a key's name), or a command that is not whole and ends in a
    // keyword's first letters. Whole commands and free text never are.
    static bool isUnfinished(QStringView command);
    // The reply to one message from a peer, whatever carries it; empty means that nothing is sent.
    // Without a deferral, a pairing that would wait for the user's answer fails.
    QString dispatchCommand(const Peer& peer, QStringView message, Deferral* deferral = nullptr);
    QString pairWith(const Peer& peer, QStringView code, Deferral* deferral = nullptr);
    // The reply to a pairing that succeeded, by code or by the browser's proof: the client
    // learns the host's link-layer address from it.
    static QString pairedReply(const QString& linkLayerAddress);
    // A connection of any kind has ended: it is no longer paired, and the left button it held
    // down is released (a phone that loses its network mid-drag must not leave the desktop
    // dragging).
    void connectionEnded(const Peer& peer);

private:
    QPointer<RemoteServer> m_server;
    PairingGate& m_gate;
    input::InputController* m_input;
    actions::DesktopActions* m_actions;
    DeviceApproval* m_approval;
    // The connection whose MOUSE_DOWN holds the left button, or 0.
    quint64 m_buttonHolder = 0;
    console::RepeatedLines m_repeatedLines;
};

} // namespace quillmote
