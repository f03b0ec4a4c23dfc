// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QObject>

#include <functional>

namespace quillmote::input {

// Whether the desktop lets this process post input, as the backend learns it: the views follow
// accessChanged instead of asking again and again.
class InputAccess : public QObject
{
    Q_OBJECT
public:
    // Awaiting while the desktop asks the user (or the backend is still being chosen), Refused
    // when the user said no or took it back, Locked while the desktop's screen shield (blank or
    // lock) keeps remote input out until it is unlocked, Shielded while input goes on below that
    // shield (uinput), LockedOut when nothing can get past it until the computer's owner allows
    // it, Unavailable where nobody can grant it.
    enum class State { Granted, Awaiting, Refused, Locked, Shielded, LockedOut, Unavailable };
    Q_ENUM(State)

    explicit InputAccess(State initial = State::Unavailable, QObject* parent = nullptr)
        : QObject(parent), m_state(initial)
    {
    }

    State state() const { return m_state; }
    bool canPostInput() const { return m_state == State::Granted || m_state == State::Shielded; }
    // Asks the desktop again where it refused and can ask the user (the portal's dialog); false
    // when there is nobody to ask.
    bool requestInputAccess()
    {
        if (m_state != State::Refused || !m_requester)
            return false;
        m_requester();
        return true;
    }

    // For the backend.
    void setState(State state)
    {
        if (state == m_state)
            return;
        m_state = state;
        Q_EMIT accessChanged(state);
    }
    void setRequester(std::function<void()> requester) { m_requester = std::move(requester); }

Q_SIGNALS:
    void accessChanged(quillmote::input::InputAccess::State state);

private:
    State m_state;
    std::function<void()> m_requester;
};

} // namespace quillmote::input
