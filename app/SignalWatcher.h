// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "util/UniqueFd.h"

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace quillmote {

// Turns SIGINT and SIGTERM into a signal on the event loop (a self-pipe: the handler itself
// may only write a byte).
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    SignalWatcher();
    ~SignalWatcher() override;

Q_SIGNALS:
    void terminationRequested();

private:
    UniqueFd m_writeEnd;
    UniqueFd m_readEnd;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace quillmote
