// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/InputBackends.h"

#include "actions/DesktopProfile.h"
#include "input/DeferredSink.h"
#include "platform/record/RecordSink.h"
#include "platform/uinput/UinputSink.h"
#include "platform/wayland/PortalSink.h"
#include "platform/wayland/WaylandSession.h"
#include "platform/wayland/WlCopyClipboard.h"
#include "platform/x11/X11Backend.h"
#include "util/Console.h"

#include <QDBusConnection>
#include <QStandardPaths>

#include <memory>
#include <vector>

namespace quillmote {

namespace {
using Access = input::InputAccess::State;
using Backend = InputChoice::Backend;

// A candidate opens its sink and calls `opened` with it or with the reason it was passed over,
// at once or later on the event loop.
using Opened = std::function<void(std::unique_ptr<input::EventSink> sink, const QString& whyNot)>;
struct Candidate
{
    QString name;
    std::function<void(QObject* context, const Opened& opened)> open;
};

// KWin hands Xwayland's clipboard to Wayland windows only while an X window has the focus: a
// Wayland window gets the text on the Wayland clipboard.
class FocusedClipboard : public input::ClipboardOwner
{
public:
    FocusedClipboard(std::unique_ptr<input::ClipboardOwner> x, std::unique_ptr<input::ClipboardOwner> wayland,
                     std::function<bool()> xWindowFocused)
        : m_x(std::move(x)), m_wayland(std::move(wayland)), m_xWindowFocused(std::move(xWindowFocused))
    {
        m_x->setFetchedHandler([this] { notifyFetched(); });
    }
    QString name() const override { return m_x->name() + QStringLiteral(" and ") + m_wayland->name(); }
    void place(const QString& text, bool alsoPrimary, std::function<void(bool)> done) override
    {
        m_last = m_xWindowFocused() ? m_x.get() : m_wayland.get();
        m_last->place(text, alsoPrimary, std::move(done));
    }
    void placeClipboardInPrimary(std::function<void(bool)> done) override
    {
        m_last = m_xWindowFocused() ? m_x.get() : m_wayland.get();
        m_last->placeClipboardInPrimary(std::move(done));
    }
    bool reportsFetched() const override { return m_last->reportsFetched(); }
    bool fetchedUnseen() const override { return m_last->fetchedUnseen(); }

private:
    std::unique_ptr<input::ClipboardOwner> m_x;
    std::unique_ptr<input::ClipboardOwner> m_wayland;
    std::function<bool()> m_xWindowFocused;
    input::ClipboardOwner* m_last = m_x.get();
};

// Pastes, the focused window and the keymap on Wayland: Xwayland's when there is one, with the
// Wayland clipboard beside it on KDE; else wl-copy, which does not tell when the text was
// fetched, and the US layout.
void addWaylandParts(input::InputBackend& backend)
{
    QString reason;
    // From the system's folders only, as every tool we start: not whatever PATH names first.
    const QStringList folders = actions::DesktopProfile::systemToolFolders();
    const QString wlCopy = QStandardPaths::findExecutable(QStringLiteral("wl-copy"), folders);
    const QString wlPaste = QStandardPaths::findExecutable(QStringLiteral("wl-paste"), folders);
    if (std::optional<x11::XwaylandParts> x = x11::openXwayland(qgetenv("DISPLAY"), &reason)) {
        backend.windowManager = std::move(x->windowManager);
        backend.keymap = std::move(x->keymap);
        backend.clipboard = std::move(x->clipboard);
        if (!wlCopy.isEmpty() && qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("KDE")))
            backend.clipboard = std::make_unique<FocusedClipboard>(
                std::move(backend.clipboard), std::make_unique<wayland::WlCopyClipboard>(wlCopy, wlPaste),
                std::move(x->xWindowFocused));
        return;
    }
    backend.keymap = std::make_unique<input::UsKeymap>();
    if (!wlCopy.isEmpty()) {
        backend.clipboard = std::make_unique<wayland::WlCopyClipboard>(wlCopy, wlPaste);
        return;
    }
    console::line(
        QStringLiteral("Typed text cannot be pasted: no Xwayland display (%1) and no wl-copy").arg(reason));
}

std::unique_ptr<input::EventSink> openUinput(input::InputAccess& access, QString* reason)
{
    std::unique_ptr<uinput::UinputSink> sink =
        uinput::UinputSink::open(reason, qEnvironmentVariable("QUILLMOTE_UINPUT_DEVICE"));
    if (!sink)
        return nullptr;
    // Shortcut letters follow the session's layout where Xwayland can tell it.
    if (const QByteArray display = qgetenv("DISPLAY"); x11::isDisplayReachable(display))
        sink->setLayoutLookup(
            [display](std::uint32_t keysym) { return x11::evdevKeyForKeysym(display, keysym); });
    access.setState(Access::Granted);
    return sink;
}

Candidate portalCandidate(const Settings& settings, input::InputAccess& access)
{
    return {QStringLiteral("portal"), [&settings, &access](QObject* context, const Opened& opened) {
                const QDBusConnection bus = QDBusConnection::sessionBus();
                wayland::probeRemoteDesktopPortal(
                    bus, context,
                    [bus, &settings, &access, opened](std::optional<wayland::PortalOffer> offer,
                                                      const QString& reason) {
                        if (offer)
                            opened(std::make_unique<wayland::PortalSink>(bus, *offer, settings, access), {});
                        else
                            opened(nullptr, reason);
                    });
            }};
}

Candidate uinputCandidate(input::InputAccess& access)
{
    return {QStringLiteral("uinput"), [&access](QObject*, const Opened& opened) {
                QString reason;
                std::unique_ptr<input::EventSink> sink = openUinput(access, &reason);
                opened(std::move(sink), reason);
            }};
}

// Walks the candidates from `next` on into `target`; `passedOver` gathers why each was not taken.
void walk(input::DeferredSink* target, std::shared_ptr<const std::vector<Candidate>> candidates,
          std::size_t next, QStringList passedOver, std::function<void(const QStringList&)> done)
{
    if (next == candidates->size()) {
        done(passedOver);
        return;
    }
    const Candidate& candidate = (*candidates)[next];
    candidate.open(target,
                   [=, name = candidate.name](std::unique_ptr<input::EventSink> sink, const QString& whyNot) {
                       if (sink) {
                           target->choose(std::move(sink));
                           done(passedOver);
                           return;
                       }
                       walk(target, candidates, next + 1,
                            passedOver + QStringList{name + QStringLiteral(": ") + whyNot}, done);
                   });
}

std::unique_ptr<input::EventSink> waylandAuto(const Settings& settings, input::InputAccess& access,
                                              const QString& why)
{
    auto sink = std::make_unique<input::DeferredSink>();
    const auto candidates = std::make_shared<const std::vector<Candidate>>(
        std::vector<Candidate>{portalCandidate(settings, access), uinputCandidate(access)});
    input::DeferredSink* target = sink.get();
    walk(target, candidates, 0, {QStringLiteral("Wayland session: ") + why},
         [target, &access](const QStringList& passedOver) {
             if (!target->isReady()) {
                 access.setState(Access::Unavailable);
                 target->choose(std::make_unique<input::NoneSink>());
             }
             console::line(QStringLiteral("Input backend: %1 (%2)")
                               .arg(target->name(), passedOver.join(QStringLiteral("; "))));
         });
    return sink;
}

std::unique_ptr<input::EventSink> namedPortal(const Settings& settings, input::InputAccess& access,
                                              std::function<void(const QString&)> fail)
{
    auto sink = std::make_unique<input::DeferredSink>();
    input::DeferredSink* target = sink.get();
    portalCandidate(settings, access)
        .open(target, [target, fail](std::unique_ptr<input::EventSink> chosen, const QString& whyNot) {
            if (!chosen) {
                fail(whyNot);
                return;
            }
            target->choose(std::move(chosen));
            console::line(QStringLiteral("Input backend: portal"));
        });
    return sink;
}
} // namespace

std::optional<input::InputBackend> createInputBackend(const InputChoice& choice, const Settings& settings,
                                                      input::InputAccess& access, QString* error,
                                                      std::function<void(const QString&)> fail)
{
    access.setState(Access::Awaiting);
    // Only auto and x11 depend on the session; the probe connects to the Wayland socket.
    QString why;
    const bool wayland = (choice.backend == Backend::Auto || choice.backend == Backend::X11) &&
                         wayland::isWaylandSession(QProcessEnvironment::systemEnvironment(), &why);
    input::InputBackend backend;
    switch (choice.backend) {
    case Backend::Record: {
        QString reason;
        std::optional<input::InputBackend> record = record::RecordSink::open(choice.recordPath, &reason);
        if (!record) {
            *error = QStringLiteral("cannot open %1 for recording: %2").arg(choice.recordPath, reason);
            return std::nullopt;
        }
        backend = std::move(*record);
        break;
    }
    case Backend::Auto:
    case Backend::X11: {
        if (choice.backend == Backend::Auto && wayland) {
            backend.sink = waylandAuto(settings, access, why);
            addWaylandParts(backend);
            return backend;
        }
        QString reason;
        std::optional<input::InputBackend> x11 = x11::openBackend(qgetenv("DISPLAY"), access, &reason);
        if (x11)
            backend = std::move(*x11);
        else if (choice.backend == Backend::X11) {
            *error = reason;
            return std::nullopt;
        } else
            console::line(QStringLiteral("No X display (%1); input is not posted").arg(reason));
        if (x11 && wayland)
            console::line(
                QStringLiteral("This is a Wayland session (%1): only X clients receive input").arg(why));
        break;
    }
    case Backend::Portal:
        backend.sink = namedPortal(settings, access, std::move(fail));
        addWaylandParts(backend);
        return backend;
    case Backend::Uinput:
        backend.sink = openUinput(access, error);
        if (!backend.sink)
            return std::nullopt;
        addWaylandParts(backend);
        break;
    case Backend::None:
        break;
    }
    if (access.state() == Access::Awaiting)
        access.setState(backend.sink->name() == QLatin1String("none") ? Access::Unavailable
                                                                      : Access::Granted);
    console::line(QStringLiteral("Input backend: ") + backend.sink->name());
    return backend;
}

} // namespace quillmote
