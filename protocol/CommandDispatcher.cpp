// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "protocol/CommandDispatcher.h"

#include "input/InputController.h"
#include "protocol/Arguments.h"
#include "protocol/InputCommands.h"
#include "protocol/SystemCommands.h"
#include "server/Connection.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"
#include "util/Console.h"

#include <algorithm>
#include <array>

namespace quillmote {

namespace {
struct Targets
{
    input::InputController* input;
    actions::DesktopActions* actions;
};
using Handler = QString (*)(const Targets&, QStringView);

// Rows whose subsystem is missing are ignored like unknown commands.
template <QString (*handler)(input::InputController&, QStringView)>
QString onInput(const Targets& targets, QStringView rest)
{
    return targets.input ? handler(*targets.input, rest) : QString();
}
template <QString (*handler)(actions::DesktopActions&, QStringView)>
QString onHost(const Targets& targets, QStringView rest)
{
    return targets.actions ? handler(*targets.actions, rest) : QString();
}

struct Row
{
    QLatin1StringView keyword;
    bool wholeMessage; // "equals" rather than "begins with"
    Handler handler;
};

// Tested in this order; the first keyword that matches handles the message, whatever its
// arguments.
constexpr std::array<Row, 12> rows{{
    {QLatin1StringView("MOVE:"), false, &onInput<protocol::handleMove>},
    {QLatin1StringView("DRAG:"), false, &onInput<protocol::handleDrag>},
    {QLatin1StringView("MOUSE_DOWN"), true, &onInput<protocol::handleMouseDown>},
    {QLatin1StringView("MOUSE_UP"), true, &onInput<protocol::handleMouseUp>},
    {QLatin1StringView("SCROLL:"), false, &onInput<protocol::handleScroll>},
    {QLatin1StringView("MAGNIFY:"), false, &onInput<protocol::handleMagnify>},
    {QLatin1StringView("CLICK:"), false, &onInput<protocol::handleClick>},
    {QLatin1StringView("CMD:"), false, &onHost<protocol::handleSystemCommand>},
    {QLatin1StringView("QUERY:APP:"), false, &onHost<protocol::handleQueryApp>},
    {QLatin1StringView("VOLUME:"), false, &onInput<protocol::handleVolume>},
    {QLatin1StringView("TYPE:"), false, &onInput<protocol::handleType>},
    {QLatin1StringView("KEY:"), false, &onInput<protocol::handleKey>},
}};
constexpr QLatin1StringView pairKeyword("PAIR:");

// Commands whose argument is free text: they take the rest of the read.
bool takesRest(QStringView piece)
{
    return piece.startsWith(pairKeyword) || piece.startsWith(QLatin1StringView("CMD:")) ||
           piece.startsWith(QLatin1StringView("QUERY:APP:"));
}

// The length of the keyword that begins at `at`, or 0.
qsizetype keywordAt(QStringView text, qsizetype at)
{
    const QStringView rest = text.mid(at);
    if (rest.startsWith(pairKeyword))
        return pairKeyword.size();
    for (const Row& row : rows) {
        if (rest.startsWith(row.keyword))
            return row.keyword.size();
    }
    return 0;
}
} // namespace

QList<QStringView> CommandDispatcher::splitCommands(QStringView message)
{
    // No argument of the other commands can hold a colon or an underscore, and every keyword
    // does, so a keyword inside a read is always where the next command begins.
    QList<QStringView> pieces;
    qsizetype start = 0;
    while (start < message.size()) {
        const QStringView rest = message.mid(start);
        if (takesRest(rest)) {
            pieces << rest;
            break;
        }
        qsizetype next = start + std::max<qsizetype>(keywordAt(message, start), 1);
        while (next < message.size() && keywordAt(message, next) == 0)
            ++next;
        pieces << message.mid(start, next - start);
        start = next;
    }
    return pieces;
}

CommandDispatcher::CommandDispatcher(RemoteServer& server, PairingGate& gate, input::InputController* input,
                                     actions::DesktopActions* actions)
    : m_server(&server), m_gate(gate), m_input(input), m_actions(actions)
{
    connect(&server, &RemoteServer::connectionAccepted, this, &CommandDispatcher::receiveNext);
}

void CommandDispatcher::receiveNext(const std::shared_ptr<Connection>& connection)
{
    connection->receive([this, server = m_server, connection](const QByteArray& data, bool isComplete,
                                                              const std::optional<QString>& error) {
        handleReceive(server, connection, data, isComplete, error);
    });
}

void CommandDispatcher::handleReceive(const QPointer<RemoteServer>& server,
                                      const std::shared_ptr<Connection>& connection, const QByteArray& data,
                                      bool isComplete, const std::optional<QString>& error)
{
    if (!server)
        return;
    if (!data.isEmpty()) {
        // Commands that TCP delivered together are handled one by one, each with its reply.
        if (const std::optional<QString> message = protocol::decodeUtf8(data)) {
            for (const QStringView piece : splitCommands(*message)) {
                const QString reply = dispatchCommand(connection->peer(), piece.toString());
                if (!reply.isEmpty())
                    sendReply(*connection, reply);
                if (!server)
                    return;
            }
        }
    }
    if (isComplete || error) {
        // A read error ends the connection as surely as an end of stream does: a peer that
        // reset or vanished must not be counted as connected any more.
        m_repeatedLines.line(isComplete ? QStringLiteral("连接断开") : QStringLiteral("连接错误: ") + *error);
        connectionEnded(connection->peer());
        return;
    }
    receiveNext(connection);
}

QString CommandDispatcher::dispatchCommand(const Peer& peer, const QString& message)
{
    if (message.startsWith(pairKeyword))
        return pairWith(peer, QStringView(message).mid(pairKeyword.size()));
    if (!m_gate.isPaired(peer.identity))
        return {};
    const Targets targets{m_input, m_actions};
    for (const Row& row : rows) {
        const bool matches = row.wholeMessage ? message == row.keyword : message.startsWith(row.keyword);
        if (!matches)
            continue;
        const QString reply = row.handler(targets, QStringView(message).mid(row.keyword.size()));
        if (message == QLatin1String("MOUSE_DOWN"))
            m_buttonHolder = peer.identity;
        else if (message == QLatin1String("MOUSE_UP") || message == QLatin1String("CLICK:LEFT") ||
                 message == QLatin1String("CLICK:DOUBLE"))
            m_buttonHolder = 0; // released, by whoever it was
        return reply;
    }
    return {};
}

void CommandDispatcher::connectionEnded(const Peer& peer)
{
    m_gate.unpair(peer.identity);
    if (m_buttonHolder != peer.identity)
        return;
    m_buttonHolder = 0;
    if (m_input)
        m_input->mouseUp();
}

void CommandDispatcher::sendReply(Connection& connection, const QString& text)
{
    connection.send(text.toUtf8());
}

QString CommandDispatcher::pairWith(const Peer& peer, QStringView code)
{
    if (!m_server)
        return {};
    if (!m_gate.pairWithCode(peer.identity, peer.address, code))
        return QStringLiteral("PAIR_FAILED");
    return QStringLiteral("PAIR_SUCCESS|") + m_server->linkLayerAddress();
}

} // namespace quillmote
