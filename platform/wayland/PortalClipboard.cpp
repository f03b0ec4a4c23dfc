// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/wayland/PortalClipboard.h"

#include "platform/wayland/PortalSink.h"
#include "util/Log.h"
#include "util/UniqueFd.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quillmote::wayland {

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString clipboardInterface = QStringLiteral("org.freedesktop.portal.Clipboard");
constexpr int callTimeoutMs = 3000;

// UTF-8 under every name applications ask for; no STRING, whose Latin-1 would garble the rest.
const QStringList textKinds{QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("UTF8_STRING"),
                            QStringLiteral("text/plain")};
// Clipboard managers that read it keep no copy of the pasted text.
const QString secretHint = QStringLiteral("x-kde-passwordManagerHint");

// Moves bytes through a pipe the portal handed over without blocking the event loop: reads to its
// end (at most `limit` bytes), or writes all of `data` and closes it. Calls done once, with
// whether that worked and what was read, unless `context` is gone first.
class PipeTransfer : public QObject
{
public:
    using Done = std::function<void(bool ok, QByteArray read)>;

    static void start(QObject* context, UniqueFd fd, std::optional<QByteArray> data, qsizetype limit,
                      int timeoutMs, Done done)
    {
        const int flags = ::fcntl(fd.get(), F_GETFL);
        if (!fd || flags < 0 || ::fcntl(fd.get(), F_SETFL, flags | O_NONBLOCK) < 0) {
            done(false, {});
            return;
        }
        auto* transfer =
            new PipeTransfer(context, std::move(fd), std::move(data), limit, timeoutMs, std::move(done));
        transfer->step();
    }

private:
    PipeTransfer(QObject* context, UniqueFd fd, std::optional<QByteArray> data, qsizetype limit,
                 int timeoutMs, Done done)
        : QObject(context), m_fd(std::move(fd)), m_writing(data.has_value()),
          m_data(data.value_or(QByteArray())), m_limit(limit), m_done(std::move(done)),
          m_notifier(m_fd.get(), m_writing ? QSocketNotifier::Write : QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &PipeTransfer::step);
        m_timeout.setSingleShot(true);
        connect(&m_timeout, &QTimer::timeout, this, [this] { finish(false); });
        m_timeout.start(timeoutMs);
    }

    void step()
    {
        for (;;) {
            if (m_writing) {
                if (m_transferred == m_data.size())
                    return finish(true);
                const ssize_t n = ::write(m_fd.get(), m_data.constData() + m_transferred,
                                          static_cast<size_t>(m_data.size() - m_transferred));
                if (n < 0)
                    return errno == EAGAIN || errno == EINTR ? void() : finish(false);
                m_transferred += n;
                continue;
            }
            char buffer[65536];
            const ssize_t n = ::read(m_fd.get(), buffer, sizeof buffer);
            if (n == 0)
                return finish(true);
            if (n < 0)
                return errno == EAGAIN || errno == EINTR ? void() : finish(false);
            if (m_data.size() + n > m_limit)
                return finish(false);
            m_data.append(buffer, n);
        }
    }

    void finish(bool ok)
    {
        m_notifier.setEnabled(false);
        m_timeout.stop();
        m_fd.reset();
        const Done done = std::move(m_done);
        const QByteArray read = m_writing ? QByteArray() : std::move(m_data);
        deleteLater();
        done(ok, read);
    }

    UniqueFd m_fd;
    bool m_writing;
    QByteArray m_data;
    qsizetype m_transferred = 0;
    qsizetype m_limit;
    Done m_done;
    QSocketNotifier m_notifier;
    QTimer m_timeout;
};

// The descriptor a portal call answered with, owned by us.
UniqueFd takeFd(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    const auto fd = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    return UniqueFd(fd.isValid() ? ::fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1);
}

// The kinds worth keeping of what an owner offers: one image encoding is enough (PNG where
// offered), since the others are made from it on request.
QStringList kindsToSave(const QStringList& offered)
{
    QStringList kept;
    const bool png = offered.contains(QStringLiteral("image/png"));
    for (const QString& kind : offered)
        if (!(png && kind.startsWith(u"image/") && kind != u"image/png") && !kept.contains(kind))
            kept << kind;
    return kept.mid(0, PortalClipboard::maxSavedKinds);
}
} // namespace

PortalClipboard::PortalClipboard(QDBusConnection bus, PortalSink& session,
                                 std::unique_ptr<input::ClipboardOwner> fallback)
    : m_bus(std::move(bus)), m_fallback(std::move(fallback))
{
    m_restore.setSingleShot(true);
    connect(&m_restore, &QTimer::timeout, this, &PortalClipboard::restore);
    m_saveTimeout.setSingleShot(true);
    connect(&session, &PortalSink::sessionStarted, this, &PortalClipboard::onSessionStarted);
    connect(&session, &PortalSink::sessionEnded, this, &PortalClipboard::onSessionEnded);
    m_bus.connect(portalService, portalPath, clipboardInterface, QStringLiteral("SelectionOwnerChanged"),
                  this, SLOT(onOwnerChanged(QDBusObjectPath, QVariantMap)));
    m_bus.connect(portalService, portalPath, clipboardInterface, QStringLiteral("SelectionTransfer"), this,
                  SLOT(onTransfer(QDBusObjectPath, QString, uint)));
    if (m_fallback)
        m_fallback->setFetchedHandler([this] { notifyFetched(); });
}

PortalClipboard::~PortalClipboard()
{
    // The user's content cannot be served once we are gone: it is better given back now than lost.
    if (m_saved && !m_session.isEmpty())
        restore();
}

QString PortalClipboard::name() const
{
    return m_fallback ? QStringLiteral("portal clipboard, else %1").arg(m_fallback->name())
                      : QStringLiteral("portal clipboard");
}

void PortalClipboard::onSessionStarted(const QString& path, bool clipboard)
{
    m_session = clipboard ? path : QString();
    qCDebug(lcPlatform).noquote() << "portal clipboard" << (clipboard ? "granted" : "not granted");
}

void PortalClipboard::onSessionEnded()
{
    m_session.clear();
    m_userKindsKnown = false;
    m_restore.stop();
    m_saved.reset();
    m_offered.clear();
    m_pasting = false;
    m_ownedBySession = false;
}

void PortalClipboard::call(const QString& method, const QVariantList& arguments,
                           std::function<void(const QDBusMessage&)> done)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(portalService, portalPath, clipboardInterface, method);
    message.setArguments(QVariantList{QVariant::fromValue(QDBusObjectPath(m_session))} + arguments);
    if (!done) {
        m_bus.send(message);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [done](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        done(finished->reply());
    });
}

void PortalClipboard::place(const QString& text, bool alsoPrimary, std::function<void(bool)> done)
{
    // Until the desktop said what the user's copy offers, it could not be given back: the fallback
    // can, where there is one.
    if (m_session.isEmpty() || ((alsoPrimary || !m_userKindsKnown) && m_fallback)) {
        m_last = m_fallback.get();
        if (!m_fallback) {
            done(false);
            return;
        }
        m_fallback->place(text, alsoPrimary, std::move(done));
        return;
    }
    m_last = nullptr;
    const QByteArray utf8 = text.toUtf8();
    const auto takeClipboard = [this, utf8, done] {
        Content content;
        for (const QString& kind : textKinds)
            content.emplace_back(kind, utf8);
        content.emplace_back(secretHint, QByteArrayLiteral("secret"));
        m_pasting = true;
        m_fetchReported = false;
        offer(std::move(content));
        m_restore.start(restoreAfterMs);
        done(true);
    };
    // Saved already (a paste right after another): that copy is still the user's.
    if (m_saved)
        takeClipboard();
    else
        save(takeClipboard);
}

void PortalClipboard::placeClipboardInPrimary(std::function<void(bool)> done)
{
    if (m_fallback)
        m_fallback->placeClipboardInPrimary(std::move(done));
    else
        done(false);
}

void PortalClipboard::save(std::function<void()> done)
{
    if (m_ownedBySession) {
        // We serve what an earlier paste gave back: that is the user's.
        m_saved = m_pasting ? Content{} : m_offered;
        done();
        return;
    }
    m_saveTimeout.start(saveTimeoutMs);
    saveNext(std::make_shared<Content>(), std::make_shared<QStringList>(kindsToSave(m_userKinds)),
             std::move(done));
}

void PortalClipboard::saveNext(std::shared_ptr<Content> read, std::shared_ptr<QStringList> left,
                               std::function<void()> done)
{
    qsizetype bytes = 0;
    for (const auto& [kind, data] : *read)
        bytes += data.size();
    if (left->isEmpty() || !m_saveTimeout.isActive() || m_session.isEmpty()) {
        qCDebug(lcPlatform).noquote()
            << "portal clipboard saved" << read->size() << "kinds," << bytes << "bytes";
        m_saveTimeout.stop();
        m_saved = std::move(*read);
        done();
        return;
    }
    const QString kind = left->takeFirst();
    call(QStringLiteral("SelectionRead"), {kind}, [=, this](const QDBusMessage& reply) {
        // A slow owner costs at most what is left of the time to save.
        PipeTransfer::start(this, takeFd(reply), std::nullopt, maxSavedBytes - bytes,
                            std::max(1, static_cast<int>(m_saveTimeout.remainingTime())),
                            [=, this](bool ok, QByteArray data) {
                                if (ok)
                                    read->emplace_back(kind, std::move(data));
                                saveNext(read, left, done);
                            });
    });
}

void PortalClipboard::offer(Content content)
{
    QStringList kinds;
    for (const auto& [kind, data] : content)
        kinds << kind;
    m_offered = std::move(content);
    call(QStringLiteral("SetSelection"), {QVariantMap{{QStringLiteral("mime_types"), kinds}}});
}

void PortalClipboard::restore()
{
    m_restore.stop();
    m_pasting = false;
    if (!m_saved)
        return;
    offer(std::move(*m_saved));
    m_saved.reset();
}

void PortalClipboard::onOwnerChanged(const QDBusObjectPath& session, const QVariantMap& options)
{
    if (session.path() != m_session)
        return;
    m_ownedBySession = options.value(QStringLiteral("session_is_owner")).toBool();
    if (m_ownedBySession)
        return;
    m_userKinds = options.value(QStringLiteral("mime_types")).toStringList();
    m_userKindsKnown = true;
    // The user copied something new: that is what the clipboard keeps, not the old copy.
    m_restore.stop();
    m_saved.reset();
    m_pasting = false;
    m_offered.clear();
}

void PortalClipboard::onTransfer(const QDBusObjectPath& session, const QString& mimeType, uint serial)
{
    if (session.path() != m_session)
        return;
    const auto found = std::find_if(m_offered.begin(), m_offered.end(),
                                    [&](const auto& offered) { return offered.first == mimeType; });
    if (found == m_offered.end()) {
        call(QStringLiteral("SelectionWriteDone"), {serial, false});
        return;
    }
    if (m_pasting && !m_fetchReported) {
        m_fetchReported = true;
        m_restore.start(restoreGraceMs);
        notifyFetched();
    }
    call(QStringLiteral("SelectionWrite"), {serial},
         [this, data = found->second, serial](const QDBusMessage& reply) {
             PipeTransfer::start(this, takeFd(reply), data, data.size(), transferTimeoutMs,
                                 [this, serial](bool ok, const QByteArray&) {
                                     call(QStringLiteral("SelectionWriteDone"), {serial, ok});
                                 });
         });
}

} // namespace quillmote::wayland
