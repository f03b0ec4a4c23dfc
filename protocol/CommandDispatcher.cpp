// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "protocol/CommandDispatcher.h"

#include "input/InputController.h"
#include "protocol/Arguments.h"
#include "protocol/InputCommands.h"
#include "protocol/SystemCommands.h"
#include "server/DeviceApproval.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"
#include "util/CutShort.h"
#include "util/Log.h"

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

// Whether a command's arguments are whole as they stand, or might yet become so.
using Check = bool (*)(QStringView rest);
bool anything(QStringView)
{
    return true;
}
bool isNumberPair(QStringView rest)
{
    return protocol::toNumberPair(rest).has_value();
}
bool isNumber(QStringView rest)
{
    return protocol::toNumber(rest).has_value();
}

struct Row
{
    QLatin1StringView keyword;
    bool wholeMessage; // "equals" rather than "begins with"
    Handler handler;
    Check whole = &anything;
    Check begun = nullptr;
};

// Tested in this order; the first keyword that matches handles the message, whatever its
// arguments.
constexpr std::array<Row, 12> rows{{
    {QLatin1StringView("MOVE:"), false, &onInput<protocol::handleMove>, &isNumberPair,
     &protocol::beginsNumberPair},
    {QLatin1StringView("DRAG:"), false, &onInput<protocol::handleDrag>, &isNumberPair,
     &protocol::beginsNumberPair},
    {QLatin1StringView("MOUSE_DOWN"), true, &onInput<protocol::handleMouseDown>},
    {QLatin1StringView("MOUSE_UP"), true, &onInput<protocol::handleMouseUp>},
    {QLatin1StringView("SCROLL:"), false, &onInput<protocol::handleScroll>, &isNumberPair,
     &protocol::beginsNumberPair},
    {QLatin1StringView("MAGNIFY:"), false, &onInput<protocol::handleMagnify>, &isNumber,
     &protocol::beginsNumber},
    {QLatin1StringView("CLICK:"), false, &onInput<protocol::handleClick>, &protocol::isClickName,
     &protocol::beginsClickName},
    {QLatin1StringView("CMD:"), false, &onHost<protocol::handleSystemCommand>},
    {QLatin1StringView("QUERY:APP:"), false, &onHost<protocol::handleQueryApp>},
    {QLatin1StringView("VOLUME:"), false, &onInput<protocol::handleVolume>, &protocol::isVolumeName,
     &protocol::beginsVolumeName},
    {QLatin1StringView("TYPE:"), false, &onInput<protocol::handleType>, &protocol::isText,
     &protocol::beginsText},
    {QLatin1StringView("KEY:"), false, &onInput<protocol::handleKey>, &protocol::isKeyName,
     &protocol::beginsKeyName},
}};
constexpr QLatin1StringView pairKeyword("PAIR:");

// Commands whose argument is free text: they take the rest of the read.
bool takesRest(QStringView piece)
{
    return piece.startsWith(pairKeyword) || piece.startsWith(QLatin1StringView("CMD:")) ||
           piece.startsWith(QLatin1StringView("QUERY:APP:"));
}

// The length of the keyword that begins at `at`, or 0. Runs for every character of a read, so
// the first character is looked at before any keyword is compared.
qsizetype keywordAt(QStringView text, qsizetype at)
{
    const char16_t first = text[at].unicode();
    if (first != u'P' && std::none_of(rows.begin(), rows.end(), [first](const Row& row) {
            return row.keyword.front() == QLatin1Char(char(first));
        }))
        return 0;
    const QStringView rest = text.mid(at);
    if (rest.startsWith(pairKeyword))
        return pairKeyword.size();
    for (const Row& row : rows) {
        if (row.keyword.front() == QLatin1Char(char(first)) && rest.startsWith(row.keyword))
            return row.keyword.size();
    }
    return 0;
}

// A keyword cut short: "M", "MOUSE_", "QUERY:AP".
bool beginsKeyword(QStringView text)
{
    const auto begins = [text](QLatin1StringView keyword) {
        return !text.isEmpty() && isCutShort(text, keyword);
    };
    return begins(pairKeyword) ||
           std::any_of(rows.begin(), rows.end(), [&begins](const Row& row) { return begins(row.keyword); });
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

bool CommandDispatcher::isUnfinished(QStringView command)
{
    if (beginsKeyword(command))
        return true;
    if (takesRest(command))
        return keywordAt(command, 0) == command.size(); // free text: any may be the end, none is yet
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [command](const Row& r) { return command.startsWith(r.keyword); });
    if (row != rows.end()) {
        const QStringView rest = command.mid(row->keyword.size());
        if (row->wholeMessage ? rest.isEmpty() : row->whole(rest))
            return false;
        if (row->begun && row->begun(rest))
            return true;
    }
    // What the arguments cannot hold, a keyword's first letters, begins the next command; the
    // longest are "QUERY:APP" and "MOUSE_DOW".
    for (qsizetype at = std::max<qsizetype>(1, command.size() - 9); at < command.size(); ++at) {
        if (beginsKeyword(command.mid(at)))
            return true;
    }
    return false;
}

CommandDispatcher::CommandDispatcher(RemoteServer& server, PairingGate& gate, input::InputController* input,
                                     actions::DesktopActions* actions, DeviceApproval* approval)
    : m_server(&server), m_gate(gate), m_input(input), m_actions(actions), m_approval(approval)
{
    if (!m_approval)
        return;
    // A removed device is cut off at once.
    connect(m_approval, &DeviceApproval::revoked, this, [this](const QList<quint64>& connections) {
        for (const quint64 connection : connections) {
            m_gate.unpair(connection);
            if (m_server)
                m_server->shutDown(connection);
        }
    });
}

QString CommandDispatcher::dispatchCommand(const Peer& peer, QStringView message, Deferral* deferral)
{
    if (message.startsWith(pairKeyword))
        return pairWith(peer, message.mid(pairKeyword.size()), deferral);
    if (!m_gate.isPaired(peer.identity)) {
        qCDebug(lcProtocol).noquote()
            << peer.identity << "not paired: ignored" << message.size() << "characters";
        return {};
    }
    const Targets targets{m_input, m_actions};
    for (const Row& row : rows) {
        const bool matches = row.wholeMessage ? message == row.keyword : message.startsWith(row.keyword);
        if (!matches)
            continue;
        const input::InputController::Origin origin(m_input, peer.identity);
        const QString reply = row.handler(targets, message.mid(row.keyword.size()));
        // The word alone: what follows it may be typed text.
        qCDebug(lcProtocol).noquote()
            << peer.identity << row.keyword << "with" << message.size() - row.keyword.size()
            << "characters ->" << (reply.isEmpty() ? QStringLiteral("(silence)") : reply);
        if (origin.dropped() > 0)
            m_repeatedLines.line(
                QStringLiteral("dropped input"),
                QStringLiteral("Input from %1 comes faster than it can be posted; what exceeds "
                               "its share of the queue is dropped")
                    .arg(peer.address.toString()));
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
    if (m_approval)
        m_approval->forget(peer.identity);
    if (m_input)
        m_input->forget(peer.identity);
    if (m_buttonHolder != peer.identity)
        return;
    m_buttonHolder = 0;
    if (m_input)
        m_input->mouseUp();
}

QString CommandDispatcher::pairWith(const Peer& peer, QStringView code, Deferral* deferral)
{
    if (!m_server)
        return {};
    if (!m_gate.checkCode(peer.identity, peer.address, code))
        return QStringLiteral("PAIR_FAILED");
    const auto succeed = [this, peer] {
        m_gate.pair(peer.identity, peer.address);
        return pairedReply(m_server->linkLayerAddress());
    };
    if (!m_approval)
        return succeed();
    const auto answered = [this, peer, succeed, reply = deferral ? deferral->reply : nullptr](bool allowed) {
        if (m_server)
            reply(allowed ? succeed() : QStringLiteral("PAIR_FAILED"));
    };
    switch (m_approval->admit(peer, deferral ? std::function<void(bool)>(answered) : nullptr)) {
    case DeviceApproval::Verdict::Allowed:
        return succeed();
    case DeviceApproval::Verdict::Waiting:
        deferral->deferred = true;
        return {};
    case DeviceApproval::Verdict::Refused:
        break;
    }
    return QStringLiteral("PAIR_FAILED");
}

QString CommandDispatcher::pairedReply(const QString& linkLayerAddress)
{
    return QStringLiteral("PAIR_SUCCESS|") + linkLayerAddress;
}

} // namespace quillmote
