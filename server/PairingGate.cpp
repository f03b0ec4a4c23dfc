// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/PairingGate.h"

#include "util/Log.h"

namespace quillmote {

PairingGate::PairingGate(const Settings& settings, PairingThrottle::Clock clock)
    : m_codeStore(settings), m_clock(clock), m_throttle(std::move(clock))
{
    m_failureDecay.setInterval(1000);
    connect(&m_failureDecay, &QTimer::timeout, this, &PairingGate::updateFailedPairingAttempts);
}

bool PairingGate::placeCode()
{
    if (m_pairingCode != QLatin1String(placeholderCode))
        return false;
    setPairingCode(m_codeStore.place());
    return true;
}

void PairingGate::drawNewPairingCode()
{
    if (m_pairingCode == QLatin1String(placeholderCode))
        return;
    setPairingCode(m_codeStore.replace());
}

bool PairingGate::pairWithCode(quint64 connection, const QHostAddress& source, QStringView code)
{
    if (!checkCode(connection, source, code))
        return false;
    pair(connection, source);
    return true;
}

bool PairingGate::checkCode(quint64 connection, const QHostAddress& source, QStringView code)
{
    // A throttled attempt is refused without looking at the code, so waiting is the only way on.
    const bool checked = m_throttle.allows(source);
    const bool placed = m_pairingCode != QLatin1String(placeholderCode);
    if (!checked || !placed || !code.startsWith(m_pairingCode)) {
        qCDebug(lcServer).noquote() << "code refused for" << connection << "from" << source
                                    << (checked ? "(wrong or no code yet)" : "(throttled, not checked)");
        if (checked)
            m_throttle.recordFailure(source);
        notePairingFailure();
        return false;
    }
    return true;
}

bool PairingGate::pairWithProof(quint64 connection, const QHostAddress& source,
                                const std::function<bool()>& check, bool* throttled)
{
    const bool checked = m_throttle.allowsProof(source);
    if (throttled)
        *throttled = !checked;
    if (!checked || !check()) {
        qCDebug(lcServer).noquote() << "proof refused for" << connection << "from" << source
                                    << (checked ? "(wrong)" : "(throttled, not checked)");
        if (checked)
            m_throttle.recordFailure(source, false);
        notePairingFailure();
        return false;
    }
    pair(connection, source);
    return true;
}

void PairingGate::pair(quint64 connection, const QHostAddress& source)
{
    qCDebug(lcServer).noquote() << "paired" << connection << "from" << source;
    m_throttle.recordSuccess(source);
    m_paired.insert(connection);
    Q_EMIT pairedCountChanged(pairedCount());
}

void PairingGate::unpair(quint64 connection)
{
    m_paired.remove(connection);
    Q_EMIT pairedCountChanged(pairedCount());
}

void PairingGate::notePairingFailure()
{
    m_failures.add(m_clock());
    updateFailedPairingAttempts();
}

void PairingGate::updateFailedPairingAttempts()
{
    const int count = m_failures.total(m_clock());
    if (count > 0 && !m_failureDecay.isActive())
        m_failureDecay.start();
    else if (count == 0)
        m_failureDecay.stop();
    if (count == m_failedPairingAttempts)
        return;
    m_failedPairingAttempts = count;
    Q_EMIT failedPairingAttemptsChanged(count);
}

void PairingGate::setPairingCode(const QString& code)
{
    m_pairingCode = code;
    Q_EMIT pairingCodeChanged(m_pairingCode);
}

} // namespace quillmote
