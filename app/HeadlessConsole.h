// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QObject>
#include <QString>

namespace quillmote {

class BonjourServer;

// What --headless prints about the server: the pairing code, each listener's port, and the
// status text whenever it changes.
class HeadlessConsole : public QObject
{
    Q_OBJECT
public:
    explicit HeadlessConsole(BonjourServer& server);

private:
    QString m_lastStatus;
};

} // namespace quillmote
