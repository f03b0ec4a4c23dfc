// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QObject>

namespace quillmote::input {

// Whether this process's login session is the one in front on its seat. Input posted below the
// desktop (uinput) reaches whichever session is in front, so it may go only while that is ours.
class LoginSession : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // False while unknown (no session manager to ask, or no answer yet).
    virtual bool isActive() const = 0;

Q_SIGNALS:
    void activeChanged(bool active);
};

} // namespace quillmote::input
