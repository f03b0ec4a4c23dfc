// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/InputBackends.h"

#include "input/ShieldFallbackSink.h"
#include "platform/desktop/LogindSession.h"
#include "platform/record/RecordSink.h"
#include "platform/uinput/UinputSink.h"
#include "platform/wayland/EisLink.h"
#include "platform/wayland/PortalSink.h"
#include "platform/wayland/WaylandParts.h"
#include "platform/wayland/WaylandSession.h"
#include "platform/x11/X11Backend.h"
#include "util/Console.h"
#include "util/Log.h"

#include <QDBusConnection>
#include <QProcessEnvironment>

#include <memory>
#include <vector>

namespace quillmote {

namespace {
using Backend = InputChoice::Backend;
using Answer = std::function<void(BackendAnswer)>;

// Every backend as the factory sees it: opening it answers once, with the backend or why it was
// passed over, at once or later on the event loop.
struct Candidate
{
    QString name;
    std::function<void(QObject* context, const Answer& answered)> open;
};

Candidate recordCandidate(const QString& path, input::InputAccess& access)
{
    return {QStringLiteral("record"), [path, &access](QObject*, const Answer& answered) {
                QString reason;
                if (std::optional<input::InputBackend> backend =
                        record::RecordSink::open(path, access, &reason))
                    answered(std::move(*backend));
                else
                    answered(QStringLiteral("cannot open %1 for recording: %2").arg(path, reason));
            }};
}

Candidate x11Candidate(input::InputAccess& access)
{
    return {QStringLiteral("x11"), [&access](QObject*, const Answer& answered) {
                QString reason;
                if (std::optional<input::InputBackend> backend =
                        x11::openBackend(qgetenv("DISPLAY"), access, &reason))
                    answered(std::move(*backend));
                else
                    answered(reason);
            }};
}

std::unique_ptr<uinput::UinputSink> openUinput(input::InputAccess& access, QString* whyNot)
{
    std::unique_ptr<uinput::UinputSink> sink =
        uinput::UinputSink::open(access, whyNot, qEnvironmentVariable("QUILLMOTE_UINPUT_DEVICE"));
    // Shortcut letters follow the session's layout where Xwayland can tell it.
    if (const QByteArray display = qgetenv("DISPLAY"); sink && x11::isDisplayReachable(display))
        sink->setLayoutLookup(
            [display](std::uint32_t keysym) { return x11::evdevKeyForKeysym(display, keysym); });
    return sink;
}

Candidate uinputCandidate(input::InputAccess& access)
{
    return {QStringLiteral("uinput"), [&access](QObject*, const Answer& answered) {
                QString reason;
                std::unique_ptr<uinput::UinputSink> sink = openUinput(access, &reason);
                if (!sink) {
                    answered(reason);
                    return;
                }
                input::InputBackend backend;
                backend.sink = std::move(sink);
                answered(std::move(backend));
            }};
}

Candidate noneCandidate(input::InputAccess& access)
{
    return {QStringLiteral("none"),
            [&access](QObject*, const Answer& answered) { answered(input::noInput(access)); }};
}

// A Wayland session's clipboard, window manager and keymap, whichever sink posts its input; made
// once, when `parts` is called.
using WaylandParts = std::function<input::InputBackend()>;

// Made now, before the sink is chosen, for the candidate taken later.
WaylandParts waylandPartsNow(const BackendNeeds& needs)
{
    auto made = std::make_shared<input::InputBackend>();
    wayland::addWaylandParts(*made, needs.desktop, needs.toolFolders);
    return [made] { return std::move(*made); };
}

// Made once the sink is open.
WaylandParts waylandPartsWhenOpen(const BackendNeeds& needs)
{
    return [needs] {
        input::InputBackend parts;
        wayland::addWaylandParts(parts, needs.desktop, needs.toolFolders);
        return parts;
    };
}

// The candidate with the Wayland session's parts added to the backend it opens.
Candidate withWaylandParts(Candidate candidate, WaylandParts parts)
{
    return {candidate.name,
            [open = std::move(candidate.open), parts](QObject* context, const Answer& answered) {
                open(context, [parts, answered](BackendAnswer opened) {
                    if (auto* backend = std::get_if<input::InputBackend>(&opened)) {
                        input::InputBackend session = parts();
                        backend->clipboard = std::move(session.clipboard);
                        backend->windowManager = std::move(session.windowManager);
                        backend->keymap = std::move(session.keymap);
                    }
                    answered(std::move(opened));
                });
            }};
}

// The portal's session: through libei where preferLibei, the portal hands that out and Quillmote
// was built with it (the keymap the desktop sends then says what can be typed, first once known);
// with its own clipboard where the desktop has one, the Wayland session's staying for what that
// one cannot do.
Candidate portalCandidate(const BackendNeeds& needs, const WaylandParts& parts, bool preferLibei)
{
    return {QStringLiteral("portal"), [needs, parts, preferLibei](QObject* context, const Answer& answered) {
                const QDBusConnection bus = QDBusConnection::sessionBus();
                wayland::probeRemoteDesktopPortal(
                    bus, needs.desktop, context,
                    [bus, needs, parts, preferLibei, answered](std::optional<wayland::PortalOffer> offer,
                                                               const QString& reason) {
                        if (!offer) {
                            answered(reason);
                            return;
                        }
                        input::InputBackend backend = parts();
                        wayland::EisConnector connector;
                        if (preferLibei && offer->connectsToEis)
                            connector = wayland::eisConnector();
                        std::shared_ptr<wayland::LearnedLayout> layout;
                        if (connector) {
                            layout = std::make_shared<wayland::LearnedLayout>();
                            backend.keymap = std::make_unique<input::KeymapChain>(
                                std::make_unique<wayland::LearnedKeymap>(layout), std::move(backend.keymap));
                        }
                        // Where the desktop's screen shield takes the portal's session away, uinput
                        // carries on, so that the phone can wake the screen and unlock it.
                        backend.sink = std::make_unique<input::ShieldFallbackSink>(
                            [&](input::InputAccess& access) {
                                return std::make_unique<wayland::PortalSink>(
                                    bus, *offer, needs.settings, access, std::move(connector), layout);
                            },
                            &openUinput,
                            std::make_unique<desktop::LogindSession>(QDBusConnection::systemBus()),
                            needs.access);
                        answered(std::move(backend));
                    });
            }};
}

// Opens the candidates from `next` on until one opens; `passedOver` gathers why each before it
// did not. The last one's failure is the answer.
void walk(std::shared_ptr<const std::vector<Candidate>> candidates, std::size_t next, QObject* context,
          QStringList passedOver, std::function<void(BackendAnswer, const QStringList&)> done)
{
    const Candidate& candidate = (*candidates)[next];
    candidate.open(context, [=, name = candidate.name](BackendAnswer opened) {
        const QString* whyNot = std::get_if<QString>(&opened);
        qCDebug(lcInput).noquote() << "backend" << name
                                   << (whyNot ? QStringLiteral("not taken: ") + *whyNot
                                              : QStringLiteral("opened"));
        if (!whyNot || next + 1 == candidates->size()) {
            done(std::move(opened), passedOver);
            return;
        }
        walk(candidates, next + 1, context, passedOver + QStringList{name + QStringLiteral(": ") + *whyNot},
             done);
    });
}

// The console line of the backend taken.
Answer announced(Answer answer)
{
    return [answer](BackendAnswer opened) {
        if (const auto* backend = std::get_if<input::InputBackend>(&opened))
            console::line(QStringLiteral("Input backend: ") + backend->sink->name());
        answer(std::move(opened));
    };
}

void waylandAuto(const BackendNeeds& needs, const QString& why, QObject* context, Answer answer)
{
    const WaylandParts parts = waylandPartsNow(needs);
    const auto candidates = std::make_shared<const std::vector<Candidate>>(std::vector<Candidate>{
        portalCandidate(needs, parts, true),
        withWaylandParts(uinputCandidate(needs.access), parts),
        withWaylandParts(noneCandidate(needs.access), parts),
    });
    walk(candidates, 0, context, {QStringLiteral("Wayland session: ") + why},
         [answer](BackendAnswer taken, const QStringList& passedOver) {
             if (const auto* backend = std::get_if<input::InputBackend>(&taken))
                 console::line(QStringLiteral("Input backend: %1 (%2)")
                                   .arg(backend->sink->name(), passedOver.join(QStringLiteral("; "))));
             answer(std::move(taken));
         });
}

// x11 as named, or as auto takes it in an X11 session: none when there is no display.
void x11OrNone(const BackendNeeds& needs, Backend asked, bool wayland, const QString& why, QObject* context,
               Answer answer)
{
    x11Candidate(needs.access).open(context, [=](BackendAnswer opened) {
        if (const auto* reason = std::get_if<QString>(&opened)) {
            if (asked == Backend::X11) {
                answer(std::move(opened));
                return;
            }
            console::line(QStringLiteral("No X display (%1); input is not posted").arg(*reason));
            noneCandidate(needs.access).open(context, announced(answer));
            return;
        }
        if (wayland)
            console::line(
                QStringLiteral("This is a Wayland session (%1): only X clients receive input").arg(why));
        announced(answer)(std::move(opened));
    });
}
} // namespace

void createInputBackend(const InputChoice& choice, const BackendNeeds& needs, QObject* context,
                        std::function<void(BackendAnswer)> answer)
{
    switch (choice.backend) {
    case Backend::Record:
        recordCandidate(choice.recordPath, needs.access).open(context, announced(std::move(answer)));
        return;
    case Backend::Auto:
    case Backend::X11: {
        // Only these depend on the session; the probe connects to the Wayland socket.
        QString why;
        const bool wayland = wayland::isWaylandSession(QProcessEnvironment::systemEnvironment(), &why);
        if (choice.backend == Backend::Auto && wayland)
            waylandAuto(needs, why, context, std::move(answer));
        else
            x11OrNone(needs, choice.backend, wayland, why, context, std::move(answer));
        return;
    }
    case Backend::Portal:
        portalCandidate(needs, waylandPartsNow(needs), false).open(context, announced(std::move(answer)));
        return;
    case Backend::Uinput:
        withWaylandParts(uinputCandidate(needs.access), waylandPartsWhenOpen(needs))
            .open(context, announced(std::move(answer)));
        return;
    case Backend::None:
        noneCandidate(needs.access).open(context, announced(std::move(answer)));
        return;
    }
}

} // namespace quillmote
