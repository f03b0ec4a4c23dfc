// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "protocol/CommandDispatcher.h"

#include "server/BonjourServer.h"
#include "server/Connection.h"
#include "server/Console.h"

#include <QStringDecoder>

namespace quillmote {

namespace {
// Strict UTF-8 that keeps every byte's meaning: a leading BOM stays part of the message.
std::optional<QString> decodeUtf8(const QByteArray& data)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder(data);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
} // namespace

CommandDispatcher::CommandDispatcher(BonjourServer& server, PairingThrottle throttle)
    : m_server(&server), m_throttle(std::move(throttle))
{
}

void CommandDispatcher::receiveNext(const std::shared_ptr<Connection>& connection)
{
    connection->receive([this, server = m_server, connection](const QByteArray& data, bool isComplete,
                                                              const std::optional<QString>& error) {
        handleReceive(server, connection, data, isComplete, error);
    });
}

void CommandDispatcher::handleReceive(const QPointer<BonjourServer>& server,
                                      const std::shared_ptr<Connection>& connection, const QByteArray& data,
                                      bool isComplete, const std::optional<QString>& error)
{
    if (!server)
        return;
    if (!data.isEmpty()) {
        if (const std::optional<QString> message = decodeUtf8(data)) {
            const QString reply = dispatchCommand(*connection, *message);
            if (!reply.isEmpty())
                sendReply(*connection, reply);
        }
    }
    if (isComplete) {
        console::line(QStringLiteral("连接断开"));
        const int count = server->removeAuthenticated(*connection);
        server->post([count](BonjourServer& s) { s.showConnectionCount(count); });
        return;
    }
    if (error) {
        console::line(QStringLiteral("连接错误: ") + *error);
        return;
    }
    receiveNext(connection);
}

QString CommandDispatcher::dispatchCommand(Connection& connection, const QString& message)
{
    if (message.startsWith(QLatin1String("PAIR:")))
        return pairWith(connection, message.mid(5));
    if (!m_server || !m_server->isAuthenticated(connection))
        return {};
    return {};
}

void CommandDispatcher::sendReply(Connection& connection, const QString& text)
{
    connection.send(text.toUtf8());
}

QString CommandDispatcher::pairWith(Connection& connection, const QString& code)
{
    if (!m_server)
        return {};
    const QHostAddress& source = connection.peerAddress();
    // A throttled attempt is refused without looking at the code, so waiting is the only way on.
    if (!m_throttle.allows(source))
        return QStringLiteral("PAIR_FAILED");
    if (!code.startsWith(m_server->pairingCode()) || m_server->pairingCode().isEmpty()) {
        m_throttle.recordFailure(source);
        return QStringLiteral("PAIR_FAILED");
    }
    m_throttle.recordSuccess(source);
    const int count = m_server->addAuthenticated(connection);
    const QString reply = QStringLiteral("PAIR_SUCCESS|") + m_server->macAddress();
    m_server->post([count](BonjourServer& s) { s.showPaired(count); });
    return reply;
}

} // namespace quillmote
