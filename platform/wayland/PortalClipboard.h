// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/ClipboardOwner.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quillmote::wayland {

class PortalSink;

// The desktop's own clipboard through the Clipboard portal of the remote input session (GNOME 46
// and later, Plasma 6.7 and later): it needs no Xwayland, and the desktop tells when an
// application fetched the text. What the user copied is read first (every kind the owner offers,
// within saveTimeoutMs and maxSavedBytes) and offered again once the text was fetched (and
// restoreGraceMs more) or after restoreAfterMs, unless the user copied something new meanwhile.
//
// The portal has no primary selection: pastes that need it (terminals' Shift+Insert), and every
// paste while the session has no clipboard, go to `fallback` (Xwayland's or wl-copy), if any.
class PortalClipboard : public QObject, public input::ClipboardOwner
{
    Q_OBJECT
public:
    static constexpr int saveTimeoutMs = 1000;
    static constexpr qsizetype maxSavedBytes = 16 << 20;
    static constexpr int maxSavedKinds = 32;
    static constexpr int restoreGraceMs = 300;
    static constexpr int restoreAfterMs = 3000;
    static constexpr int transferTimeoutMs = 5000;

    PortalClipboard(QDBusConnection bus, PortalSink& session,
                    std::unique_ptr<input::ClipboardOwner> fallback);
    ~PortalClipboard() override;

    QString name() const override;
    void place(const QString& text, bool alsoPrimary, std::function<void(bool)> done) override;
    void placeClipboardInPrimary(std::function<void(bool)> done) override;
    bool reportsFetched() const override { return m_last ? m_last->reportsFetched() : true; }
    bool fetchedUnseen() const override { return m_last && m_last->fetchedUnseen(); }

private Q_SLOTS:
    void onOwnerChanged(const QDBusObjectPath& session, const QVariantMap& options);
    void onTransfer(const QDBusObjectPath& session, const QString& mimeType, uint serial);

private:
    using Content = std::vector<std::pair<QString, QByteArray>>;

    void onSessionStarted(const QString& path, bool clipboard);
    void onSessionEnded();
    void call(const QString& method, const QVariantList& arguments,
              std::function<void(const QDBusMessage& reply)> done = {});
    // Reads what the user's owner offers into m_saved, then calls done.
    void save(std::function<void()> done);
    void saveNext(std::shared_ptr<Content> read, std::shared_ptr<QStringList> left,
                  std::function<void()> done);
    void offer(Content content);
    void restore();

    QDBusConnection m_bus;
    std::unique_ptr<input::ClipboardOwner> m_fallback;
    input::ClipboardOwner* m_last = nullptr;
    QString m_session;
    // What another application's copy offers, as the desktop last announced it.
    QStringList m_userKinds;
    bool m_userKindsKnown = false;
    bool m_ownedBySession = false;
    // What is offered now (the text, or the user's content given back), by kind.
    Content m_offered;
    // What to give back: nothing saved, or the user's content (none: the clipboard was empty).
    std::optional<Content> m_saved;
    bool m_pasting = false;
    bool m_fetchReported = false;
    QTimer m_restore;
    QTimer m_saveTimeout;
};

} // namespace quillmote::wayland
