// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QObject>

#include <functional>
#include <optional>

namespace quillmote {

// One server per user: a second launch asks the running one to show its window, and commands
// such as --allow reach it, through a local socket that only this user can reach. Each request
// is one line and gets one line back.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype maxRequest = 256;
    // The reply to a request other than "show"; empty when it is not understood.
    using Handler = std::function<QByteArray(QByteArrayView request)>;

    // The socket of this user's session, unless a name is given (tests).
    explicit SingleInstance(QString name = {}, QObject* parent = nullptr);

    // True when another instance is running and was asked to show itself.
    bool notifyRunning(int timeoutMs = 1000);
    // The running instance's reply; nothing when none runs or it did not answer in time.
    std::optional<QByteArray> request(QByteArrayView line, int timeoutMs = 1000);
    // Takes the name for this process; false when another instance holds it or listening
    // failed (the application then simply runs without it).
    bool listen();
    QString name() const { return m_name; }
    void setHandler(Handler handler) { m_handler = std::move(handler); }

Q_SIGNALS:
    void activationRequested();

private:
    QString m_name;
    QLocalServer m_server;
    Handler m_handler;
};

} // namespace quillmote
