// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QLocalServer>
#include <QObject>

namespace quillmote::ui {

// One desktop application per user: a second launch asks the running one to show its window
// through a local socket, and then ends.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // The socket of this user's session, unless a name is given (tests).
    explicit SingleInstance(QString name = {}, QObject* parent = nullptr);

    // True when another instance is running and was asked to show itself.
    bool notifyRunning(int timeoutMs = 1000);
    // Takes the name for this process; false when another instance holds it or listening
    // failed (the application then simply runs without it).
    bool listen();
    QString name() const { return m_name; }

Q_SIGNALS:
    void activationRequested();

private:
    bool m_abstract = false;
    QString m_name;
    QLocalServer m_server;
};

} // namespace quillmote::ui
