// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/ClipboardOwner.h"
#include "platform/x11/X11Connection.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quillmote::x11 {

// Owns the CLIPBOARD selection (and PRIMARY when asked) on our own X connection for a paste, and
// gives the user's content back afterwards. Done here rather than through the GUI toolkit's
// clipboard, whose X connection ends the process when the X server goes away.
//
// Before taking a selection it copies what its owner offers (every target but redundant image
// encodings, within maxSavedBytes; an owner may take saveStepMs to answer each request and
// saveTotalMs for all of them; content too large for one request arrives in pieces, ICCCM's INCR;
// an owner that does not answer in time keeps its selection, and nothing is pasted);
// once the focused application fetched the
// text (and restoreGraceMs more, for applications that fetch twice), or after restoreAfterMs,
// it serves that copy instead. The pasted text goes only to the focused application's client
// (or, bridged, to the compositor's bridge while a Wayland window has the focus): a clipboard
// manager asking for it gets nothing, so neither the text nor its fetch counts, and a manager
// that reads the hint skips it as a secret.
class X11Clipboard : public QObject, public input::ClipboardOwner
{
    Q_OBJECT
public:
    static constexpr int saveStepMs = 1000;
    static constexpr int saveTotalMs = 3000;
    // Content larger than this is handed out in pieces (INCR): requests have a size limit.
    static constexpr qsizetype servePieceBytes = 128 << 10;
    // Requestors taking content in pieces at once; more get the whole at once. One that took
    // nothing for pieceTransferMs is given up.
    static constexpr std::size_t maxPieceTransfers = 8;
    static constexpr qint64 pieceTransferMs = 10000;
    static constexpr qsizetype maxSavedBytes = 16 << 20;
    static constexpr int restoreGraceMs = 300;
    static constexpr int restoreAfterMs = 3000;
    // How long the bridge may take to copy new text before the chord is pressed.
    static constexpr int bridgeWaitMs = 250;
    // How long a Wayland window takes to read the text the bridge fetched for it.
    static constexpr int bridgeSettleMs = 200;
    static constexpr unsigned long maxTargets = 64;

    // bridged: Xwayland, whose compositor copies the selection for the Wayland window that has
    // the focus and fetches on its behalf.
    explicit X11Clipboard(std::shared_ptr<X11Connection> connection, bool bridged = false);
    ~X11Clipboard() override;

    QString name() const override { return QStringLiteral("X clipboard"); }
    void place(const QString& text, bool alsoPrimary, std::function<void(bool)> done) override;
    void placeClipboardInPrimary(std::function<void(bool)> done) override;
    bool reportsFetched() const override { return true; }

private:
    // One target of a selection as its owner served it: the property's type, format and data.
    struct Target
    {
        unsigned long target = 0;
        unsigned long type = 0;
        int format = 8;
        QByteArray data;
    };
    struct Selection
    {
        unsigned long atom = 0;
        bool owned = false;
        bool transient = false;
        std::vector<Target> served;
        // What to give back: nothing saved, or the targets (none: the selection was empty).
        std::optional<std::vector<Target>> saved;
    };

    void setUp();
    void onEvent(_XEvent* event);
    void answer(_XEvent* request);
    Selection* selectionOf(unsigned long atom);
    // Copies what the selections hold, then takes them (finishSaving) and calls done.
    void startSaving(std::vector<Selection*> selections, std::function<void(bool)> done);
    void save(Selection& selection);
    void convertNext();
    void onConverted(_XEvent* event);
    // A piece of content arriving in pieces, or a requestor taking one it was given.
    void onPieceArrived(_XEvent* event);
    void onPieceTaken(_XEvent* event);
    // Waits saveStepMs more for the owner, within saveTotalMs; false once that has run out.
    bool waitForOwner();
    void addTargets(Selection& selection, const long* atoms, unsigned long count);
    void finishSaving();
    std::vector<Target> textTargets(const QByteArray& utf8) const;
    void restore();
    // The X client (its resource base) that made a window.
    unsigned long clientOf(unsigned long window) const;
    // The client of the window that has the keyboard focus; empty when no X window has it.
    std::optional<unsigned long> focusedClient();
    std::optional<unsigned long> windowManagerClient();
    // Whether the requestor is the compositor's bridge to Wayland clients.
    bool isBridge(unsigned long requestor);
    bool fetchCounts(unsigned long requestor);

    std::shared_ptr<X11Connection> m_connection;
    bool m_bridged;
    // Xlib's Window and Atoms.
    unsigned long m_window = 0;
    unsigned long m_targets = 0, m_utf8 = 0, m_text = 0, m_plainUtf8 = 0, m_hint = 0, m_saveProperty = 0,
                  m_incr = 0, m_timestamp = 0, m_multiple = 0;
    Selection m_clipboard;
    Selection m_primary;

    // The copy of the owners' content under way, one conversion at a time.
    struct Conversion
    {
        unsigned long selection;
        unsigned long target;
    };
    std::deque<Conversion> m_conversions;
    std::vector<Selection*> m_saving;
    qsizetype m_savedBytes = 0;
    QTimer m_saveTimeout;
    QElapsedTimer m_saveStarted;
    // A target the owner sends in pieces, gathered until its empty last piece.
    struct Incoming
    {
        unsigned long selection = 0;
        Target target;
    };
    std::optional<Incoming> m_incoming;
    // Content handed out in pieces: the next one goes when the requestor deleted the last.
    struct Outgoing
    {
        unsigned long requestor = 0;
        unsigned long property = 0;
        Target target;
        qsizetype offset = 0;
        qint64 lastTaken = 0; // on m_clock
    };
    std::vector<Outgoing> m_outgoing;
    QElapsedTimer m_clock;
    QByteArray m_pendingText;
    // The primary selection is to serve the clipboard's copy, not a text.
    bool m_mirroring = false;
    std::function<void(bool)> m_pendingDone;

    QTimer m_restore;
    bool m_fetchReported = false;
    // Waiting for the bridge to copy the new text before the chord.
    std::function<void()> m_bridgeReady;
    QTimer m_bridgeWait;
    QTimer m_bridgeSettle;
};

} // namespace quillmote::x11
