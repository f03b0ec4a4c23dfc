// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/EventSink.h"
#include "input/KeyPacer.h"
#include "input/PointerState.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Pointer.h"
#include "platform/x11/X11SpareKeys.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

namespace quillmote::x11 {

// Real input on the display through XTest, with the active RandR monitors as the displays.
// Posts nothing while the display is lost. Characters the layout lacks are typed on keys lent by
// spareKeys; a text with more of them than there are spare keys goes in parts, and what is posted
// meanwhile waits behind them, in order. Keys at xscreensaver's lock wait for its dialog likewise.
class X11Poster : public QObject, public input::EventSink
{
    Q_OBJECT
public:
    // How long a woken unlock dialog may take to come up, and how often it is looked for.
    static constexpr qint64 lockDialogWaitMs = 3000;
    static constexpr int lockDialogPollMs = 20;
    static constexpr int lockDialogSettleMs = 500;
    // How long the dialog at the lock is given to read the keys before the modifiers change
    // (35 ms was enough on an idle machine).
    static constexpr int lockModifiedKeyMs = 100;
    // How long keys wait after keys were lent characters. Clients read the new keymap when they
    // come to its notice, yet Chromium now and then read keys that came right behind it with what
    // they held before (2 runs of 6 of three rounds; none of 6 with a 5 ms wait, none of 10 with 50).
    static constexpr int lentKeysSettleMs = 25;
    // How far apart keys of different kinds go out (input::KeyPacer): 20 ms was enough for
    // LibreOffice Writer while the keymap stayed, 50 ms after keys were lent characters on an idle
    // machine; with every core busy it lags further (3 of 5 runs out of order at 50 ms, 1 of 5 at
    // 100 ms with four busy loops on two cores, none of 5 at 150 ms).
    static constexpr int keysApartMs = 150;

    explicit X11Poster(std::shared_ptr<X11Connection> connection,
                       std::shared_ptr<X11SpareKeys> spareKeys = {});

    QString name() const override { return QStringLiteral("x11"); }
    std::optional<input::Point> pointerLocation() override { return m_pointer.location(); }
    std::optional<input::Point> currentPointerLocation() override { return m_pointer.location(true); }
    std::optional<std::vector<input::Rect>> activeDisplays() override;
    void post(const input::Event& event) override;
    void postAll(const std::vector<input::Event>& events) override;

private:
    // Queues the event in Xlib's buffer; false when it is not one this poster sends.
    bool write(_XDisplay* display, const input::Event& event);
    void setUp();
    void onEvent(_XEvent* event);
    // Writes events[0..to) up to a key that must keep apart from the last one (of another kind:
    // input::KeyPacer), keeping it and the rest for later; false when it stopped there.
    bool writeKeysApart(_XDisplay* display, const std::vector<input::Event>& events, std::size_t to);
    // Writes what the lent keys allow now and keeps the rest for later.
    void writeLending(std::vector<input::Event> events);
    // At xscreensaver's blank screen or lock: wakes it and holds the keys until its dialog is up
    // (or the screen is back), and paces
    // modifiers and keys so that it reads each key with the modifiers it was pressed with.
    void writeAtLock(std::vector<input::Event> events, bool locked);
    // Goes on with what waited.
    void resume();
    // Marks a shortcut's letter the layout lacks as a character to lend a key; false for others.
    bool lendShortcutLetter(input::Event& event);
    void writeCharacter(_XDisplay* display, const input::KeyChange& key);
    static void postKey(_XDisplay* display, std::uint16_t key, bool down, bool byPlace);
    static void postWheel(_XDisplay* display, input::WheelSteps& steps, std::int32_t pixels,
                          unsigned positiveButton, unsigned negativeButton);

    std::shared_ptr<X11Connection> m_connection;
    std::shared_ptr<X11SpareKeys> m_spareKeys;
    std::vector<input::Event> m_waiting;
    QTimer m_waitingTimer;
    QElapsedTimer m_lockDialogWait;
    bool m_lockDialogUnseen = false;
    input::KeyPacer m_pacer;
    X11Pointer m_pointer;
    int m_randrEventBase = -1;
    input::MonitorCache m_monitors;
    input::WheelSteps m_wheelVertical;
    input::WheelSteps m_wheelHorizontal;
};

} // namespace quillmote::x11
