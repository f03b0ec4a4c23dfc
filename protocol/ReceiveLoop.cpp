// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "protocol/ReceiveLoop.h"

#include "protocol/Arguments.h"
#include "protocol/CommandDispatcher.h"
#include "server/Connection.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"

#include <QTimer>

namespace quillmote {

namespace {
// The bytes at the end that begin a UTF-8 character without finishing it.
qsizetype unfinishedCharacter(const QByteArray& bytes)
{
    for (qsizetype back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xc0) == 0x80)
            continue; // a continuation byte: its lead is further back
        const qsizetype length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}
// Replies are ASCII words but for application names: those go the long way.
void appendUtf8(QByteArray& out, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            out += text.toUtf8();
            return;
        }
    }
    const qsizetype at = out.size();
    out.resize(at + text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
        out[at + i] = static_cast<char>(text[i].unicode());
}
} // namespace

ReceiveLoop::ReceiveLoop(RemoteServer& server, PairingGate& gate, CommandDispatcher& dispatcher)
    : m_server(&server), m_gate(gate), m_dispatcher(dispatcher)
{
    connect(&server, &RemoteServer::connectionAccepted, this, &ReceiveLoop::receiveNext);
}

void ReceiveLoop::receiveNext(const std::shared_ptr<Connection>& connection)
{
    connection->receive(
        [this, connection](const QByteArray& data, bool isComplete, const std::optional<QString>& error) {
            onRead(connection, data, isComplete, error);
        });
}

void ReceiveLoop::onRead(const std::shared_ptr<Connection>& connection, const QByteArray& data,
                         bool isComplete, const std::optional<QString>& error)
{
    if (!m_server)
        return;
    Reader& reader = m_readers[connection->identity()];
    reader.connection = connection;
    if (!data.isEmpty())
        absorb(reader, data);
    // A read error ends the connection as surely as an end of stream does: a peer that reset or
    // vanished must not be counted as connected any more.
    if (isComplete || error)
        reader.endLine = isComplete ? QStringLiteral("连接断开") : QStringLiteral("连接错误: ") + *error;
    if (reader.queued)
        return; // its turn comes, with these commands after the ones it has
    if (m_gate.isPaired(connection->identity()))
        serve(connection->identity());
    else
        queue(reader);
}

void ReceiveLoop::absorb(Reader& reader, const QByteArray& data)
{
    QByteArray bytes = reader.carry + data;
    reader.carry.clear();
    ++reader.carryGeneration;
    // A read shorter than the most one read takes ends its last command, as it always did.
    const bool full = data.size() >= Connection::maxRead;
    const qsizetype cut = full ? unfinishedCharacter(bytes) : 0;
    // Bytes that are not UTF-8 are dropped, with whatever was carried into them.
    const std::optional<QString> text = protocol::decodeUtf8(bytes.first(bytes.size() - cut));
    if (!text)
        return;
    QList<QStringView> commands = CommandDispatcher::splitCommands(*text);
    if (full) {
        QByteArray carried =
            (commands.isEmpty() ? QByteArray() : commands.takeLast().toUtf8()) + bytes.last(cut);
        if (carried.size() <= maxCarry)
            reader.carry = std::move(carried);
    }
    if (!commands.isEmpty()) {
        reader.texts << *text; // shares the text the views point into
        reader.commands.insert(reader.commands.end(), commands.begin(), commands.end());
    }
    if (reader.carry.isEmpty() || reader.connection->bytesAvailable() > 0)
        return;
    // Nothing more has arrived yet: the rest may be on its way, else the command was whole.
    QTimer::singleShot(carryWaitMs, this,
                       [this, identity = reader.connection->identity(), generation = reader.carryGeneration] {
                           const auto it = m_readers.find(identity);
                           if (it == m_readers.end() || it->carryGeneration != generation ||
                               it->carry.isEmpty())
                               return;
                           takeCarry(*it);
                           if (!it->queued)
                               queue(*it);
                       });
}

void ReceiveLoop::takeCarry(Reader& reader)
{
    const QByteArray carried = std::exchange(reader.carry, {});
    ++reader.carryGeneration;
    if (const std::optional<QString> text = protocol::decodeUtf8(carried)) {
        reader.texts << *text;
        for (const QStringView command : CommandDispatcher::splitCommands(reader.texts.constLast()))
            reader.commands.push_back(command);
    }
}

void ReceiveLoop::serve(quint64 identity)
{
    const auto it = m_readers.find(identity);
    if (it == m_readers.end())
        return;
    Reader& reader = *it;
    const std::shared_ptr<Connection> connection = reader.connection;
    // The replies to what one turn handles leave in one write.
    QByteArray replies;
    // A pairing that waits for the user's answer holds the connection's later commands back.
    CommandDispatcher::Deferral deferral{
        [loop = QPointer<ReceiveLoop>(this), identity](const QString& reply) {
            if (loop)
                loop->resume(identity, reply);
        },
    };
    for (int handled = 0; handled < commandsPerTurn && !reader.commands.empty() && !deferral.deferred;
         ++handled) {
        const QStringView command = reader.commands.front();
        reader.commands.pop_front();
        appendUtf8(replies, m_dispatcher.dispatchCommand(connection->peer(), command, &deferral));
    }
    if (!m_server)
        return;
    if (reader.commands.empty())
        reader.texts.clear();
    if (!replies.isEmpty())
        connection->send(replies);
    if (deferral.deferred) {
        reader.awaiting = true;
        return;
    }
    if (reader.commands.empty() && reader.endLine)
        takeCarry(reader); // the stream ended: what was carried is all there is
    if (!reader.commands.empty()) {
        queue(reader);
        return;
    }
    if (reader.endLine) {
        finish(identity);
        return;
    }
    // A peer that does not take its replies is not read from until it has: its replies would
    // otherwise pile up here without end.
    if (connection->unsentBytes() > maxUnsentBytes) {
        connection->whenSent([this, weak = std::weak_ptr<Connection>(connection)] {
            if (const std::shared_ptr<Connection> waiting = weak.lock())
                receiveNext(waiting);
        });
        return;
    }
    receiveNext(connection);
}

void ReceiveLoop::resume(quint64 identity, const QString& reply)
{
    const auto it = m_readers.find(identity);
    if (it == m_readers.end() || !std::exchange(it->awaiting, false))
        return;
    QByteArray bytes;
    appendUtf8(bytes, reply);
    it->connection->send(bytes);
    serve(identity);
}

void ReceiveLoop::finish(quint64 identity)
{
    const Reader reader = m_readers.take(identity);
    m_repeatedLines.line(*reader.endLine);
    m_dispatcher.connectionEnded(reader.connection->peer());
}

void ReceiveLoop::queue(Reader& reader)
{
    reader.queued = true;
    const quint64 identity = reader.connection->identity();
    (m_gate.isPaired(identity) ? m_paired : m_unpaired).push_back(identity);
    if (m_drainPosted)
        return;
    m_drainPosted = true;
    QMetaObject::invokeMethod(this, &ReceiveLoop::drain, Qt::QueuedConnection);
}

void ReceiveLoop::drain()
{
    m_drainPosted = false;
    const auto serveNext = [this](std::deque<quint64>& waiting) {
        const quint64 identity = waiting.front();
        waiting.pop_front();
        const auto it = m_readers.find(identity);
        if (it == m_readers.end())
            return;
        it->queued = false;
        serve(identity);
    };
    // Paired connections first, each once this turn; then a few of the others.
    for (std::size_t turns = m_paired.size(); turns > 0 && !m_paired.empty() && m_server; --turns)
        serveNext(m_paired);
    for (int turns = 0; turns < unpairedPerTurn && !m_unpaired.empty() && m_server; ++turns)
        serveNext(m_unpaired);
    if ((!m_paired.empty() || !m_unpaired.empty()) && !m_drainPosted) {
        m_drainPosted = true;
        QMetaObject::invokeMethod(this, &ReceiveLoop::drain, Qt::QueuedConnection);
    }
}

} // namespace quillmote
