// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/EventSink.h"
#include "input/InputAccess.h"
#include "input/LoginSession.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace quillmote::input {

// Input through the desktop's own way (the portal) and, from when the desktop's screen shield
// (its blank screen, its lock) takes that away until the desktop allows it again or the user says
// no, through a way below the desktop (uinput): the phone can then wake the screen and type the
// password. Only while this login session is the one in front: never into another user's session
// after a user switch. The fallback is opened when the shield comes up, so that the compositor
// knows its devices by the time input comes.
class ShieldFallbackSink : public QObject, public EventSink
{
    Q_OBJECT
public:
    // The primary is made on the access it reports to; the fallback's own opens on its own.
    using PrimaryMaker = std::function<std::unique_ptr<EventSink>(InputAccess& access)>;
    using FallbackOpener = std::function<std::unique_ptr<EventSink>(InputAccess& access, QString* whyNot)>;

    // `access` is what the views see: granted while either way takes input.
    ShieldFallbackSink(const PrimaryMaker& makePrimary, FallbackOpener openFallback,
                       std::unique_ptr<LoginSession> session, InputAccess& access);
    ~ShieldFallbackSink() override;

    QString name() const override { return m_primary->name(); }
    bool movesRelatively() const override { return current().movesRelatively(); }
    std::optional<Point> pointerLocation() override { return current().pointerLocation(); }
    std::optional<std::vector<Rect>> activeDisplays() override { return current().activeDisplays(); }
    void post(const Event& event) override;
    void postAll(const std::vector<Event>& events) override;
    int keysApartMs() const override { return current().keysApartMs(); }
    bool keysPending() const override { return current().keysPending(); }
    bool isReady() const override { return m_primary->isReady(); }
    void shieldComing() override { m_primary->shieldComing(); }

    // Whether input goes through the fallback now.
    bool fallingBack() const { return m_fallingBack; }

private:
    EventSink& current() const { return m_fallingBack ? *m_fallback : *m_primary; }
    void update();

    InputAccess m_primaryAccess{InputAccess::State::Awaiting};
    InputAccess m_fallbackAccess;
    std::unique_ptr<EventSink> m_primary;
    FallbackOpener m_openFallback;
    std::unique_ptr<EventSink> m_fallback;
    std::unique_ptr<LoginSession> m_session;
    InputAccess& m_access;
    // The shield took the primary's grant, and it is not back.
    bool m_shielded = false;
    bool m_triedFallback = false;
    bool m_fallingBack = false;
};

} // namespace quillmote::input
