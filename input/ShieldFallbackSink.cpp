// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/ShieldFallbackSink.h"

#include "util/Console.h"

namespace quillmote::input {

ShieldFallbackSink::ShieldFallbackSink(const PrimaryMaker& makePrimary, FallbackOpener openFallback,
                                       std::unique_ptr<LoginSession> session, InputAccess& access)
    : m_primary(makePrimary(m_primaryAccess)), m_openFallback(std::move(openFallback)),
      m_session(std::move(session)), m_access(access)
{
    m_primary->setReadyHandler([this] { notifyReady(); });
    m_primary->setSentHandler([this] { notifySent(); });
    connect(&m_primaryAccess, &InputAccess::accessChanged, this, &ShieldFallbackSink::update);
    if (m_session)
        connect(m_session.get(), &LoginSession::activeChanged, this, &ShieldFallbackSink::update);
    m_access.setRequester([this] { m_primaryAccess.requestInputAccess(); });
    update();
}

ShieldFallbackSink::~ShieldFallbackSink()
{
    // The primary may still change its access as it closes: nothing here follows it any more.
    m_access.setRequester({});
    m_primaryAccess.disconnect(this);
    m_primary.reset();
}

void ShieldFallbackSink::post(const Event& event)
{
    current().post(event);
}

void ShieldFallbackSink::postAll(const std::vector<Event>& events)
{
    current().postAll(events);
}

void ShieldFallbackSink::update()
{
    using State = InputAccess::State;
    const State state = m_primaryAccess.state();
    // While the desktop asks the user again after the shield, the fallback goes on.
    if (state == State::Locked)
        m_shielded = true;
    else if (state != State::Awaiting)
        m_shielded = false;
    if (!m_shielded)
        m_triedFallback = false;
    const bool inFront = m_session && m_session->isActive();
    if (m_shielded && inFront && !m_fallback && !m_triedFallback) {
        m_triedFallback = true;
        QString whyNot;
        m_fallback = m_openFallback(m_fallbackAccess, &whyNot);
        if (m_fallback)
            m_fallback->setSentHandler([this] { notifySent(); });
        else
            console::line(QStringLiteral("At the screen shield, input cannot go through uinput: ") + whyNot);
    }
    const bool fallingBack = m_shielded && inFront && m_fallback;
    if (fallingBack != m_fallingBack) {
        m_fallingBack = fallingBack;
        if (fallingBack)
            console::line(QStringLiteral("Input goes through uinput while the screen shield is up"));
        else if (m_shielded)
            console::line(QStringLiteral("Input stops: another login session is in front"));
        else
            console::line(QStringLiteral("Input goes through the %1 again").arg(m_primary->name()));
    }
    const bool lockedOut = m_shielded && inFront && !m_fallback && state == State::Locked;
    m_access.setState(m_fallingBack ? State::Shielded : lockedOut ? State::LockedOut : state);
}

} // namespace quillmote::input
