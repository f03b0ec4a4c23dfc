// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/InputBackends.h"

#include "platform/record/RecordSink.h"
#include "platform/uinput/UinputSink.h"
#include "platform/wayland/PortalSink.h"
#include "platform/wayland/WaylandSession.h"
#include "platform/wayland/WlCopyClipboard.h"
#include "platform/x11/X11ClipboardOwner.h"
#include "platform/x11/X11Sink.h"
#include "util/Console.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QStandardPaths>

namespace quillmote {

namespace {
// Pastes on Wayland: Xwayland's clipboard reaches Wayland clients on GNOME and KDE and tells
// when the text was fetched; wl-copy serves any compositor but does not.
void attachClipboard(input::LinuxEventSink& sink)
{
    QString reason;
    if (auto owner = x11::X11ClipboardOwner::open(qgetenv("DISPLAY"), &reason)) {
        sink.setClipboardOwner(std::move(owner));
        return;
    }
    const QString wlCopy = QStandardPaths::findExecutable(QStringLiteral("wl-copy"));
    if (!wlCopy.isEmpty()) {
        sink.setClipboardOwner(std::make_unique<wayland::WlCopyClipboard>(wlCopy));
        return;
    }
    console::line(
        QStringLiteral("Typed text cannot be pasted: no Xwayland display (%1) and no wl-copy").arg(reason));
}

wayland::ScrollStyle portalScrollStyle(const QDBusConnection& bus)
{
    const bool kde = qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("KDE")) ||
                     (bus.interface() && bus.interface()->isServiceRegistered(
                                             QStringLiteral("org.freedesktop.impl.portal.desktop.kde")));
    return kde ? wayland::ScrollStyle::InvertedSmooth : wayland::ScrollStyle::Discrete;
}

std::unique_ptr<input::EventSink> openPortal(const QString& settingsPath, QString* reason)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const std::optional<uint> version = wayland::remoteDesktopPortalVersion(bus, reason);
    if (!version)
        return nullptr;
    auto sink = std::make_unique<wayland::PortalSink>(bus, *version, portalScrollStyle(bus), settingsPath);
    attachClipboard(*sink);
    return sink;
}

std::unique_ptr<input::EventSink> openUinput(QString* reason)
{
    std::unique_ptr<uinput::UinputSink> sink =
        uinput::UinputSink::open(reason, qEnvironmentVariable("QUILLMOTE_UINPUT_DEVICE"));
    if (!sink)
        return nullptr;
    // Shortcut letters follow the session's layout where Xwayland can tell it.
    if (const QByteArray display = qgetenv("DISPLAY"); x11::isDisplayReachable(display))
        sink->setLayoutLookup(
            [display](std::uint32_t keysym) { return x11::evdevKeyForKeysym(display, keysym); });
    attachClipboard(*sink);
    return sink;
}

std::unique_ptr<input::EventSink> openWaylandAuto(const QString& settingsPath, const QString& why)
{
    QStringList passedOver{QStringLiteral("Wayland session: ") + why};
    QString reason;
    std::unique_ptr<input::EventSink> sink = openPortal(settingsPath, &reason);
    if (!sink) {
        passedOver << QStringLiteral("portal: ") + reason;
        sink = openUinput(&reason);
    }
    if (!sink) {
        passedOver << QStringLiteral("uinput: ") + reason;
        sink = std::make_unique<input::NoneSink>();
    }
    console::line(
        QStringLiteral("Input backend: %1 (%2)").arg(sink->name(), passedOver.join(QStringLiteral("; "))));
    return sink;
}
} // namespace

std::unique_ptr<input::EventSink> createEventSink(const QString& choice, const QString& settingsPath,
                                                  QString* error)
{
    std::unique_ptr<input::EventSink> sink;
    // Only auto and x11 depend on the session; the probe connects to the Wayland socket.
    QString why;
    const bool wayland = (choice == QLatin1String("auto") || choice == QLatin1String("x11")) &&
                         wayland::isWaylandSession(QProcessEnvironment::systemEnvironment(), &why);
    if (choice.startsWith(QLatin1String("record:"))) {
        const QString path = choice.mid(7);
        QString reason;
        sink = record::RecordSink::open(path, &reason);
        if (!sink) {
            *error = QStringLiteral("cannot open %1 for recording: %2").arg(path, reason);
            return nullptr;
        }
    } else if (choice == QLatin1String("auto") && wayland) {
        // Xwayland's DISPLAY would take XTest events that only X clients ever see.
        return openWaylandAuto(settingsPath, why);
    } else if (choice == QLatin1String("x11") || choice == QLatin1String("auto")) {
        QString reason;
        sink = x11::X11Sink::open(qgetenv("DISPLAY"), &reason);
        if (!sink && choice == QLatin1String("x11")) {
            *error = reason;
            return nullptr;
        }
        if (!sink)
            console::line(QStringLiteral("No X display (%1); input is not posted").arg(reason));
        else if (wayland)
            console::line(
                QStringLiteral("This is a Wayland session (%1): only X clients receive input").arg(why));
    } else if (choice == QLatin1String("portal")) {
        sink = openPortal(settingsPath, error);
        if (!sink)
            return nullptr;
    } else if (choice == QLatin1String("uinput")) {
        sink = openUinput(error);
        if (!sink)
            return nullptr;
    }
    if (!sink)
        sink = std::make_unique<input::NoneSink>();
    console::line(QStringLiteral("Input backend: ") + sink->name());
    return sink;
}

} // namespace quillmote
