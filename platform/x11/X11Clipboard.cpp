// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11Clipboard.h"

#include "platform/x11/X11WindowManager.h"
#include "platform/x11/XResources.h"
#include "util/Console.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <iterator>

namespace quillmote::x11 {

namespace {
// What one item of a property of `format` takes in Xlib's client-side layout (32 bits: a long).
int propertyUnit(int format)
{
    return format == 32 ? int(sizeof(long)) : format / 8;
}
qsizetype propertyBytes(int format, unsigned long count)
{
    return static_cast<qsizetype>(count) * propertyUnit(format);
}
} // namespace

X11Clipboard::X11Clipboard(std::shared_ptr<X11Connection> connection, bool bridged)
    : m_connection(std::move(connection)), m_bridged(bridged)
{
    connect(m_connection.get(), &X11Connection::connected, this, &X11Clipboard::setUp);
    connect(m_connection.get(), &X11Connection::lost, this, [this] {
        m_window = None;
        m_clipboard = Selection{m_clipboard.atom, false, false, {}, {}};
        m_primary = Selection{XA_PRIMARY, false, false, {}, {}};
        m_conversions.clear();
        m_incoming.reset();
        m_outgoing.clear();
        m_restore.stop();
        if (m_pendingDone)
            std::exchange(m_pendingDone, {})(false);
        if (m_bridgeReady)
            std::exchange(m_bridgeReady, {})();
    });
    connect(m_connection.get(), &X11Connection::eventReceived, this, &X11Clipboard::onEvent);
    m_saveTimeout.setSingleShot(true);
    connect(&m_saveTimeout, &QTimer::timeout, this, &X11Clipboard::finishSaving);
    m_clock.start();
    m_restore.setSingleShot(true);
    connect(&m_restore, &QTimer::timeout, this, &X11Clipboard::restore);
    m_bridgeSettle.setSingleShot(true);
    m_bridgeSettle.setInterval(bridgeSettleMs);
    connect(&m_bridgeSettle, &QTimer::timeout, this, [this] { notifyFetched(); });
    m_bridgeWait.setSingleShot(true);
    m_bridgeWait.setInterval(bridgeWaitMs);
    connect(&m_bridgeWait, &QTimer::timeout, this, [this] {
        if (m_bridgeReady)
            std::exchange(m_bridgeReady, {})();
    });
    setUp();
}

X11Clipboard::~X11Clipboard()
{
    if (Display* display = m_connection->display(); display && m_window != None)
        XDestroyWindow(display, m_window);
}

void X11Clipboard::setUp()
{
    Display* display = m_connection->display();
    if (!display)
        return;
    m_window = XCreateSimpleWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, 0);
    // Content too large for one request arrives as a series of property changes.
    XSelectInput(display, m_window, PropertyChangeMask);
    m_clipboard = Selection{XInternAtom(display, "CLIPBOARD", False), false, false, {}, {}};
    m_primary = Selection{XA_PRIMARY, false, false, {}, {}};
    m_targets = XInternAtom(display, "TARGETS", False);
    m_utf8 = XInternAtom(display, "UTF8_STRING", False);
    m_text = XInternAtom(display, "TEXT", False);
    m_plainUtf8 = XInternAtom(display, "text/plain;charset=utf-8", False);
    // KDE's convention for content a clipboard history must not keep.
    m_hint = XInternAtom(display, "x-kde-passwordManagerHint", False);
    m_saveProperty = XInternAtom(display, "QUILLMOTE_SAVED", False);
    m_incr = XInternAtom(display, "INCR", False);
    m_timestamp = XInternAtom(display, "TIMESTAMP", False);
    m_multiple = XInternAtom(display, "MULTIPLE", False);
}

X11Clipboard::Selection* X11Clipboard::selectionOf(unsigned long atom)
{
    if (atom == m_clipboard.atom)
        return &m_clipboard;
    if (atom == m_primary.atom)
        return &m_primary;
    return nullptr;
}

void X11Clipboard::place(const QString& text, bool alsoPrimary, std::function<void(bool)> done)
{
    if (m_pendingDone) {
        done(false);
        return;
    }
    m_mirroring = false;
    m_pendingText = text.toUtf8();
    startSaving(alsoPrimary ? std::vector{&m_clipboard, &m_primary} : std::vector{&m_clipboard},
                std::move(done));
}

void X11Clipboard::placeClipboardInPrimary(std::function<void(bool)> done)
{
    if (m_pendingDone) {
        done(false);
        return;
    }
    // The clipboard is copied as for giving it back, and left as it is.
    m_mirroring = true;
    m_pendingText.clear();
    startSaving({&m_clipboard, &m_primary}, std::move(done));
}

void X11Clipboard::startSaving(std::vector<Selection*> selections, std::function<void(bool)> done)
{
    if (!m_connection->display() || m_window == None) {
        done(false);
        return;
    }
    m_restore.stop();
    m_bridgeSettle.stop();
    m_pendingDone = std::move(done);
    m_saving = std::move(selections);
    m_conversions.clear();
    m_incoming.reset();
    m_savedBytes = 0;
    for (Selection* selection : m_saving)
        save(*selection);
    m_saveStarted.start();
    convertNext();
}

void X11Clipboard::save(Selection& selection)
{
    // A paste that has not given the content back yet keeps the copy it made.
    if (selection.saved)
        return;
    if (selection.owned) {
        selection.saved = selection.served;
        return;
    }
    selection.saved = std::vector<Target>{};
    if (XGetSelectionOwner(m_connection->display(), selection.atom) != None)
        m_conversions.push_back({selection.atom, m_targets});
}

bool X11Clipboard::waitForOwner()
{
    const qint64 left = saveTotalMs - m_saveStarted.elapsed();
    if (left <= 0)
        return false;
    m_saveTimeout.start(static_cast<int>(std::min<qint64>(saveStepMs, left)));
    return true;
}

void X11Clipboard::convertNext()
{
    Display* display = m_connection->display();
    if (m_conversions.empty() || !display || !waitForOwner()) {
        finishSaving();
        return;
    }
    XConvertSelection(display, m_conversions.front().selection, m_conversions.front().target, m_saveProperty,
                      m_window, CurrentTime);
    XFlush(display);
}

void X11Clipboard::onConverted(XEvent* event)
{
    const XSelectionEvent& answer = event->xselection;
    if (m_conversions.empty() || answer.selection != m_conversions.front().selection ||
        answer.target != m_conversions.front().target)
        return;
    const Conversion conversion = m_conversions.front();
    m_conversions.pop_front();
    Display* display = m_connection->display();
    Selection* selection = selectionOf(conversion.selection);
    if (answer.property != None && selection && selection->saved) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* raw = nullptr;
        const long most = static_cast<long>((maxSavedBytes - m_savedBytes) / 4);
        const int status = XGetWindowProperty(display, m_window, m_saveProperty, 0, most, True,
                                              AnyPropertyType, &type, &format, &count, &after, &raw);
        const XData<unsigned char> data(raw);
        // Larger than one request: deleting the announcement (above) asked for the first piece.
        if (status == Success && data && type == m_incr && after == 0) {
            m_incoming = Incoming{conversion.selection, {conversion.target, None, 8, {}}};
            if (!waitForOwner())
                finishSaving();
            return;
        }
        // Whatever does not fit is not kept.
        if (status == Success && data && after == 0 && format != 0) {
            if (conversion.target == m_targets && type == XA_ATOM)
                addTargets(*selection, reinterpret_cast<const long*>(data.get()), count);
            else if (conversion.target != m_targets) {
                const qsizetype bytes = propertyBytes(format, count);
                m_savedBytes += bytes;
                selection->saved->push_back({conversion.target, type, format,
                                             QByteArray(reinterpret_cast<const char*>(data.get()), bytes)});
            }
        }
    }
    convertNext();
}

void X11Clipboard::onPieceArrived(XEvent* event)
{
    const XPropertyEvent& change = event->xproperty;
    if (!m_incoming || change.atom != m_saveProperty || change.state != PropertyNewValue)
        return;
    Display* display = m_connection->display();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    const long most = static_cast<long>((maxSavedBytes - m_savedBytes - m_incoming->target.data.size()) / 4);
    const int status = XGetWindowProperty(display, m_window, m_saveProperty, 0, std::max(most, 0L), True,
                                          AnyPropertyType, &type, &format, &count, &after, &raw);
    const XData<unsigned char> data(raw);
    if (status == Success && type == None)
        return; // gone already: not a piece
    Incoming& incoming = *m_incoming;
    // A piece that does not fit leaves this target out; the owner, not asked for more, gives up.
    if (status != Success || after != 0 || (count > 0 && format == 0)) {
        m_incoming.reset();
        convertNext();
        return;
    }
    if (count > 0) {
        incoming.target.type = type;
        incoming.target.format = format;
        incoming.target.data.append(reinterpret_cast<const char*>(data.get()), propertyBytes(format, count));
        if (!waitForOwner())
            finishSaving();
        return;
    }
    // The empty piece: the whole has come.
    if (Selection* selection = selectionOf(incoming.selection); selection && selection->saved) {
        m_savedBytes += incoming.target.data.size();
        selection->saved->push_back(std::move(incoming.target));
    }
    m_incoming.reset();
    convertNext();
}

void X11Clipboard::onPieceTaken(XEvent* event)
{
    const XPropertyEvent& change = event->xproperty;
    const auto transfer = std::find_if(m_outgoing.begin(), m_outgoing.end(), [&change](const Outgoing& o) {
        return o.requestor == change.window && o.property == change.atom;
    });
    if (transfer == m_outgoing.end() || change.state != PropertyDelete)
        return;
    Display* display = m_connection->display();
    const Target& target = transfer->target;
    const QByteArray piece = target.data.mid(transfer->offset, servePieceBytes);
    XChangeProperty(display, transfer->requestor, transfer->property, target.type, target.format,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(piece.constData()),
                    static_cast<int>(piece.size() / propertyUnit(target.format)));
    transfer->offset += piece.size();
    transfer->lastTaken = m_clock.elapsed();
    // The empty piece ends it.
    if (piece.isEmpty()) {
        const unsigned long requestor = transfer->requestor;
        m_outgoing.erase(transfer);
        if (std::none_of(m_outgoing.begin(), m_outgoing.end(),
                         [requestor](const Outgoing& o) { return o.requestor == requestor; }))
            XSelectInput(display, requestor, NoEventMask);
    }
    XFlush(display);
}

void X11Clipboard::addTargets(Selection& selection, const long* atoms, unsigned long count)
{
    Display* display = m_connection->display();
    std::vector<unsigned long> wanted;
    bool png = false;
    std::vector<std::pair<unsigned long, QByteArray>> named;
    for (unsigned long i = 0; i < count && i < maxTargets; ++i) {
        const auto atom = static_cast<unsigned long>(atoms[i]);
        if (atom == None || atom == m_targets || atom == m_timestamp || atom == m_multiple || atom == m_hint)
            continue;
        const XData<char> name(XGetAtomName(display, atom));
        const QByteArray text = name ? QByteArray(name.get()) : QByteArray();
        // Requests, not content.
        if (text.isEmpty() || text == "SAVE_TARGETS" || text == "DELETE" || text.startsWith("INSERT_"))
            continue;
        png = png || text == "image/png";
        named.emplace_back(atom, text);
    }
    // An image offered in many encodings is kept as PNG alone: each encoding costs the owner time.
    for (const auto& [atom, text] : named) {
        if (!png || !text.startsWith("image/") || text == "image/png")
            m_conversions.push_back({selection.atom, atom});
    }
}

void X11Clipboard::finishSaving()
{
    m_saveTimeout.stop();
    // Cut short: an owner that did not answer in time (busy handing a large image to a clipboard
    // manager) has content we do not know, which taking the selection would destroy.
    const bool cutShort = !m_conversions.empty() || m_incoming;
    m_conversions.clear();
    m_incoming.reset();
    if (!m_pendingDone)
        return;
    Display* display = m_connection->display();
    std::function<void(bool)> done = std::exchange(m_pendingDone, {});
    if (!display) {
        done(false);
        return;
    }
    if (cutShort) {
        for (Selection* selection : m_saving) {
            if (!selection->owned)
                selection->saved.reset();
        }
        console::line(QStringLiteral("The clipboard's owner did not answer in time: nothing was pasted, and "
                                     "what was copied stays"));
        // An earlier paste's selections are still ours: they are given back as planned.
        m_restore.start(restoreAfterMs);
        done(false);
        return;
    }
    // Mirrored: the user's copy of the clipboard (kept from a paste not yet given back, or
    // just made).
    const std::vector<Target> content =
        m_mirroring ? m_clipboard.saved.value_or(std::vector<Target>{}) : textTargets(m_pendingText);
    // Nothing on the clipboard: nothing to paste.
    bool owned = !content.empty();
    for (Selection* selection : m_mirroring ? std::vector{&m_primary} : m_saving) {
        if (!owned)
            break;
        selection->served = content;
        selection->transient = true;
        XSetSelectionOwner(display, selection->atom, m_window, CurrentTime);
        selection->owned = XGetSelectionOwner(display, selection->atom) == m_window;
        owned = owned && selection->owned;
    }
    owned = owned && m_connection->isConnected();
    // A Wayland window has the focus: the compositor copies the new text first, and the chord
    // must not come before (it would paste the old text).
    const bool waylandFocused = owned && m_bridged && !focusedClient();
    // The round trips above may have queued the compositor's requests: they must not wait.
    m_connection->processEventsSoon();
    m_fetchReported = false;
    m_restore.start(restoreAfterMs);
    if (!owned) {
        done(false);
        return;
    }
    if (waylandFocused) {
        m_bridgeReady = [done] { done(true); };
        m_bridgeWait.start();
        return;
    }
    done(true);
}

std::vector<X11Clipboard::Target> X11Clipboard::textTargets(const QByteArray& utf8) const
{
    std::vector<Target> targets{
        {m_utf8, m_utf8, 8, utf8}, {m_plainUtf8, m_plainUtf8, 8, utf8}, {m_text, m_utf8, 8, utf8}};
    // STRING is Latin-1: offered only for text it carries whole, so that no one pastes question marks.
    const QString text = QString::fromUtf8(utf8);
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xff; }))
        targets.push_back({XA_STRING, XA_STRING, 8, text.toLatin1()});
    return targets;
}

void X11Clipboard::restore()
{
    Display* display = m_connection->display();
    if (!display)
        return;
    for (Selection* selection : {&m_clipboard, &m_primary}) {
        if (!selection->saved)
            continue;
        std::vector<Target> saved = std::move(*selection->saved);
        selection->saved.reset();
        // Someone copied something meanwhile: that is the clipboard now.
        if (!selection->owned || !selection->transient)
            continue;
        selection->transient = false;
        selection->served = std::move(saved);
        // Taken again even while ours, so that clipboard managers see the user's content anew.
        XSetSelectionOwner(display, selection->atom, selection->served.empty() ? None : m_window,
                           CurrentTime);
        selection->owned = !selection->served.empty();
    }
    XFlush(display);
    m_connection->processEventsSoon();
}

unsigned long X11Clipboard::clientOf(unsigned long window) const
{
    // Every resource of a client carries its resource base; the connection's resource mask (the
    // same for all clients, and Xlib's fourth private field) covers the rest.
    const auto* display = reinterpret_cast<_XPrivDisplay>(m_connection->display());
    return display ? window & ~display->private4 : 0;
}

std::optional<unsigned long> X11Clipboard::windowManagerClient()
{
    Display* display = m_connection->display();
    const std::vector<long> check = X11WindowManager::property(display, DefaultRootWindow(display),
                                                               "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, 1);
    if (check.size() != 1 || check[0] == 0)
        return std::nullopt;
    return clientOf(static_cast<unsigned long>(check[0]));
}

std::optional<unsigned long> X11Clipboard::focusedClient()
{
    const std::optional<unsigned long> window = X11WindowManager::focusedWindow(*m_connection);
    if (!window)
        return std::nullopt;
    const unsigned long client = clientOf(*window);
    // The compositor's own focus window stands for a Wayland window.
    if (m_bridged && client == windowManagerClient())
        return std::nullopt;
    return client;
}

bool X11Clipboard::isBridge(unsigned long requestor)
{
    if (!m_bridged)
        return false;
    const std::optional<unsigned long> bridge = windowManagerClient();
    return bridge && clientOf(requestor) == *bridge;
}

bool X11Clipboard::fetchCounts(unsigned long requestor)
{
    if (const std::optional<unsigned long> focused = focusedClient())
        return clientOf(requestor) == *focused;
    if (m_bridged)
        return isBridge(requestor);
    // No X window is known to have the focus (no window manager): whoever asks pastes.
    return true;
}

void X11Clipboard::onEvent(XEvent* event)
{
    if (event->type == SelectionClear && event->xselectionclear.window == m_window) {
        if (Selection* selection = selectionOf(event->xselectionclear.selection))
            *selection = Selection{selection->atom, false, false, {}, {}};
    } else if (event->type == SelectionRequest && event->xselectionrequest.owner == m_window) {
        answer(event);
    } else if (event->type == SelectionNotify && event->xselection.requestor == m_window) {
        onConverted(event);
    } else if (event->type == PropertyNotify && event->xproperty.window == m_window) {
        onPieceArrived(event);
    } else if (event->type == PropertyNotify) {
        onPieceTaken(event);
    } else if (event->type == DestroyNotify) {
        // A requestor gone mid-transfer takes nothing more.
        std::erase_if(m_outgoing,
                      [event](const Outgoing& o) { return o.requestor == event->xdestroywindow.window; });
    }
}

void X11Clipboard::answer(XEvent* event)
{
    const XSelectionRequestEvent& request = event->xselectionrequest;
    Display* display = m_connection->display();
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = request.display;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    // Old clients name no property; the target then serves as one.
    const Atom property = request.property != None ? request.property : request.target;
    reply.property = None;
    bool fetched = false;

    const Selection* selection = selectionOf(request.selection);
    const auto served = [&](unsigned long target) {
        return std::find_if(selection->served.begin(), selection->served.end(),
                            [target](const Target& t) { return t.target == target; });
    };
    if (selection && selection->owned) {
        if (request.target == m_targets) {
            std::vector<Atom> targets{m_targets};
            for (const Target& target : selection->served)
                targets.push_back(target.target);
            if (selection->transient)
                targets.push_back(m_hint);
            XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(targets.data()),
                            static_cast<int>(targets.size()));
            reply.property = property;
        } else if (request.target == m_hint && selection->transient) {
            XChangeProperty(display, request.requestor, property, m_utf8, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>("secret"), 6);
            reply.property = property;
        } else if (const auto target = served(request.target); target != selection->served.end()) {
            // The compositor's bridge is served even when its fetch is not the paste: Wayland
            // readers wait on it (KWin leaves them hanging when it is refused). It passes on
            // the hint that keeps clipboard managers away.
            const bool counts = selection->transient && fetchCounts(request.requestor);
            if (!selection->transient || counts || isBridge(request.requestor)) {
                const qint64 now = m_clock.elapsed();
                std::erase_if(m_outgoing,
                              [now](const Outgoing& o) { return now - o.lastTaken > pieceTransferMs; });
                if (target->data.size() > servePieceBytes && m_outgoing.size() < maxPieceTransfers) {
                    // Announced with its size; the pieces follow as the requestor takes each.
                    XSelectInput(display, request.requestor, PropertyChangeMask | StructureNotifyMask);
                    const long size = static_cast<long>(target->data.size());
                    XChangeProperty(display, request.requestor, property, m_incr, 32, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(&size), 1);
                    m_outgoing.push_back({request.requestor, property, *target, 0, now});
                } else {
                    XChangeProperty(display, request.requestor, property, target->type, target->format,
                                    PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(target->data.constData()),
                                    static_cast<int>(target->data.size() / propertyUnit(target->format)));
                }
                reply.property = property;
                fetched = counts;
            }
        }
    }
    XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
    XFlush(display);
    if (!fetched)
        return;
    // The bridge's own copy, made before the chord, is not the paste.
    if (m_bridgeReady) {
        m_bridgeWait.stop();
        std::exchange(m_bridgeReady, {})();
        return;
    }
    m_restore.start(restoreGraceMs);
    if (std::exchange(m_fetchReported, true))
        return;
    // A Wayland window reads the text from a pipe that the compositor fills after this fetch:
    // keys posted at once would be handled before the text arrives.
    if (m_bridged && !focusedClient())
        m_bridgeSettle.start();
    else
        notifyFetched();
}

} // namespace quillmote::x11
