// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/PairingCodeStore.h"
#include "server/PairingThrottle.h"
#include "server/RecentCount.h"
#include "util/Settings.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>

namespace quillmote {

// Who may send commands: the pairing code, the throttle on guessing it, the connections that
// paired and the count of failed attempts the user is shown. Every way of pairing (the phone's
// code, the browser remote's link) goes through here.
class PairingGate : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString pairingCode READ pairingCode NOTIFY pairingCodeChanged)
    Q_PROPERTY(int failedPairingAttempts READ failedPairingAttempts NOTIFY failedPairingAttemptsChanged)
public:
    static constexpr auto placeholderCode = "------";

    explicit PairingGate(const Settings& settings,
                         PairingThrottle::Clock clock = &std::chrono::steady_clock::now);

    // The placeholder until the code is placed.
    const QString& pairingCode() const { return m_pairingCode; }
    // Places the stored code, or a newly drawn one, unless a code was placed already; true when
    // it placed one now.
    bool placeCode();
    // Replaces the code, shown and stored, by a newly drawn one (once a code was placed).
    // Connections that paired with the old code stay paired.
    void drawNewPairingCode();

    // Pairs the connection when the text begins with the code and the throttle lets the source
    // have it checked.
    bool pairWithCode(quint64 connection, const QHostAddress& source, QStringView code);
    // Whether the text begins with the code and the throttle let the source have it checked; the
    // connection is not paired yet (pair() does that).
    bool checkCode(quint64 connection, const QHostAddress& source, QStringView code);
    void pair(quint64 connection, const QHostAddress& source);
    // Pairs the connection when `check` (a proof that cannot be guessed, such as an answer to a
    // challenge) holds. It is run only when the source's own limit allows; a wrong proof slows that
    // source but never draws on the code's shared budget, so it pairs even during an attack.
    // *throttled says whether it was refused without being looked at.
    bool pairWithProof(quint64 connection, const QHostAddress& source, const std::function<bool()>& check,
                       bool* throttled = nullptr);

    bool isPaired(quint64 connection) const { return m_paired.contains(connection); }
    // Announces the number of paired connections that follows (pairedCountChanged).
    void unpair(quint64 connection);
    int pairedCount() const { return static_cast<int>(m_paired.size()); }

    // Pairing attempts that failed in the last minute, wrong or refused.
    int failedPairingAttempts() const { return m_failedPairingAttempts; }
    void notePairingFailure();
    const PairingThrottle& throttle() const { return m_throttle; }

Q_SIGNALS:
    void pairingCodeChanged(const QString& pairingCode);
    void failedPairingAttemptsChanged(int count);
    void pairedCountChanged(int count);

private:
    void setPairingCode(const QString& code);
    void updateFailedPairingAttempts();

    PairingCodeStore m_codeStore;
    PairingThrottle::Clock m_clock;
    PairingThrottle m_throttle;
    QString m_pairingCode = QString::fromLatin1(placeholderCode);
    QSet<quint64> m_paired;
    RecentCount m_failures;
    int m_failedPairingAttempts = 0;
    // Runs only while failures are in the window, to let the count fall back to 0.
    QTimer m_failureDecay;
};

} // namespace quillmote
