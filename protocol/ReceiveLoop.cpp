// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "protocol/ReceiveLoop.h"

#include "protocol/Arguments.h"
#include "protocol/CommandDispatcher.h"
#include "server/Connection.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"

namespace quillmote {

namespace {
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
    // A read shorter than the most one read takes ends its last command, unless that can only be
    // the beginning of one.
    const bool full = data.size() >= Connection::maxRead;
    const qsizetype cut = full ? protocol::unfinishedCharacter(bytes) : 0;
    // Bytes that are not UTF-8 are dropped, with whatever was carried into them.
    const std::optional<QString> text = protocol::decodeUtf8(bytes.first(bytes.size() - cut));
    if (!text)
        return;
    QList<QStringView> commands = CommandDispatcher::splitCommands(*text);
    const bool unfinished =
        cut > 0 || (!commands.isEmpty() && CommandDispatcher::isUnfinished(commands.constLast()));
    if (full || unfinished) {
        QByteArray carried =
            (commands.isEmpty() ? QByteArray() : commands.constLast().toUtf8()) + bytes.last(cut);
        // What is carried is decoded and split again with every read: a shorter read must bring
        // as large a share of it as a full read does, else a peer that trickles a long command
        // byte by byte would have it all gone over for every byte. Too long to wait for, a full
        // read's command is dropped and a shorter one's handled as it stands.
        const bool waits = carried.size() <= maxCarry &&
                           (full || data.size() * (maxCarry / Connection::maxRead) >= carried.size());
        if (waits)
            reader.carry = std::move(carried);
        if ((full || waits) && !commands.isEmpty())
            commands.removeLast();
    }
    if (!commands.isEmpty()) {
        reader.texts << *text; // shares the text the views point into
        reader.commands.insert(reader.commands.end(), commands.begin(), commands.end());
    }
    // Nothing more has arrived yet: the rest may be on its way, else the command was whole.
    if (reader.carry.isEmpty() || reader.connection->bytesAvailable() > 0) {
        if (reader.carryTimer)
            reader.carryTimer->stop();
        return;
    }
    if (!reader.carryTimer) {
        reader.carryTimer = std::make_shared<QTimer>();
        reader.carryTimer->setSingleShot(true);
        connect(reader.carryTimer.get(), &QTimer::timeout, this,
                [this, identity = reader.connection->identity()] { carryTimeout(identity); });
    }
    reader.carryTimer->start(unfinished ? restWaitMs : carryWaitMs);
}

void ReceiveLoop::carryTimeout(quint64 identity)
{
    const auto it = m_readers.find(identity);
    if (it == m_readers.end() || it->carry.isEmpty())
        return;
    takeCarry(*it);
    // A pairing that waits for the user's answer goes on with these when it has one.
    if (!it->queued && !it->awaiting)
        queue(*it);
}

void ReceiveLoop::takeCarry(Reader& reader)
{
    const QByteArray carried = std::exchange(reader.carry, {});
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
