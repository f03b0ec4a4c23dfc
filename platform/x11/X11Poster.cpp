// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11Poster.h"

#include "input/KeyTable.h"
#include "util/Console.h"
#include "util/Overloaded.h"

#include "platform/x11/X11ScreenLocker.h"
#include "platform/x11/XResources.h"

#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace quillmote::x11 {

X11Poster::X11Poster(std::shared_ptr<X11Connection> connection, std::shared_ptr<X11SpareKeys> spareKeys)
    : m_connection(std::move(connection)), m_spareKeys(std::move(spareKeys)), m_pointer(m_connection)
{
    m_waitingTimer.setSingleShot(true);
    connect(&m_waitingTimer, &QTimer::timeout, this, &X11Poster::resume);
    // What waited for the lost display is not typed into another one.
    connect(m_connection.get(), &X11Connection::lost, this, [this] {
        m_waiting.clear();
        m_waitingTimer.stop();
        m_lockDialogWait.invalidate();
    });
    connect(m_connection.get(), &X11Connection::connected, this, &X11Poster::setUp);
    connect(m_connection.get(), &X11Connection::lost, this, [this] { m_monitors.invalidate(); });
    connect(m_connection.get(), &X11Connection::eventReceived, this, &X11Poster::onEvent);
    setUp();
}

void X11Poster::setUp()
{
    m_monitors.invalidate();
    Display* display = m_connection->display();
    if (!display)
        return;
    // Keep the monitor list from RandR's change events instead of asking on every move.
    int errorBase = 0;
    if (XRRQueryExtension(display, &m_randrEventBase, &errorBase))
        XRRSelectInput(display, DefaultRootWindow(display),
                       RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    else
        m_randrEventBase = -1;
    // Redefined monitors (xrandr --setmonitor) send no RandR event, only the root's
    // ConfigureNotify.
    XSelectInput(display, DefaultRootWindow(display), StructureNotifyMask);
    XFlush(display);
}

void X11Poster::onEvent(XEvent* event)
{
    Display* display = m_connection->display();
    if (!display)
        return;
    const bool rootConfigured =
        event->type == ConfigureNotify && event->xconfigure.window == DefaultRootWindow(display);
    const bool randr = m_randrEventBase >= 0 && event->type >= m_randrEventBase &&
                       event->type < m_randrEventBase + RRNumberEvents;
    if (randr)
        XRRUpdateConfiguration(event);
    if (rootConfigured || randr) {
        m_monitors.invalidate();
        m_pointer.forget();
    }
}

std::optional<std::vector<input::Rect>> X11Poster::activeDisplays()
{
    m_connection->readSentEvents();
    Display* display = m_connection->display();
    if (!display)
        return std::nullopt;
    if (m_monitors.monitors() && m_randrEventBase >= 0)
        return m_monitors.monitors();
    std::vector<input::Rect> rects;
    if (m_randrEventBase >= 0) {
        int count = 0;
        const Monitors monitors(XRRGetMonitors(display, DefaultRootWindow(display), True, &count));
        for (int i = 0; monitors && i < count; ++i) {
            const XRRMonitorInfo& m = monitors.get()[i];
            rects.push_back({double(m.x), double(m.y), double(m.width), double(m.height)});
        }
    } else {
        const int screen = DefaultScreen(display);
        rects.push_back(
            {0, 0, double(DisplayWidth(display, screen)), double(DisplayHeight(display, screen))});
    }
    m_connection->processEventsSoon();
    if (!m_connection->isConnected())
        return std::nullopt;
    m_monitors.store(rects);
    return rects;
}

void X11Poster::postKey(Display* display, std::uint16_t key, bool down, bool byPlace)
{
    KeyCode keycode = 0;
    // By keysym, so that the key is found in whatever keymap the server has; a typed character's
    // key was found there already.
    if (const std::optional<std::uint32_t> keysym = input::keysymOf(key); keysym && !byPlace)
        keycode = XKeysymToKeycode(display, *keysym);
    // Not in this keymap: the key at the same physical place, as the kernel numbers it.
    if (keycode == 0 && key + 8 <= 255)
        keycode = static_cast<KeyCode>(key + 8);
    XTestFakeKeyEvent(display, keycode, down ? True : False, CurrentTime);
}

void X11Poster::postWheel(Display* display, input::WheelSteps& steps, std::int32_t pixels,
                          unsigned positiveButton, unsigned negativeButton)
{
    const int clicks = steps.take(pixels);
    const unsigned button = clicks > 0 ? positiveButton : negativeButton;
    for (int i = 0; i < std::abs(clicks); ++i) {
        XTestFakeButtonEvent(display, button, True, CurrentTime);
        XTestFakeButtonEvent(display, button, False, CurrentTime);
    }
}

namespace {
bool lendsKey(const input::Event& event)
{
    const auto* key = std::get_if<input::KeyChange>(&event);
    return key && key->character != 0;
}

bool isKey(const input::Event& event)
{
    return std::holds_alternative<input::KeyChange>(event) || std::holds_alternative<input::MediaKey>(event);
}
} // namespace

bool X11Poster::lendShortcutLetter(input::Event& event)
{
    // A shortcut's letter the layout lacks (Control+V on a Russian-only layout) would be pressed at
    // its place, as Control+Cyrillic_em, which applications ignore: lent a key, it is the letter.
    auto* key = std::get_if<input::KeyChange>(&event);
    Display* display = m_connection->display();
    if (!m_spareKeys || !display || !key || key->character != 0 || key->byPlace)
        return false;
    const std::optional<std::uint32_t> keysym = input::characterKeysym(key->key);
    if (!keysym || XKeysymToKeycode(display, *keysym) != 0)
        return false;
    key->character = static_cast<char32_t>(*keysym); // a letter's or digit's keysym is its character
    return true;
}

void X11Poster::post(const input::Event& event)
{
    input::Event lending = event;
    if (!m_waiting.empty() || isKey(event) || lendShortcutLetter(lending)) {
        postAll({lending});
        return;
    }
    Display* display = m_connection->display();
    if (display && write(display, event))
        XFlush(display);
}

void X11Poster::postAll(const std::vector<input::Event>& given)
{
    std::vector<input::Event> events = given;
    bool lends = false;
    for (input::Event& event : events)
        lends = lendShortcutLetter(event) || lendsKey(event) || lends;
    if (!m_waiting.empty()) {
        m_waiting.insert(m_waiting.end(), events.begin(), events.end());
        return;
    }
    if (m_spareKeys && lends) {
        writeLending(std::move(events));
        return;
    }
    Display* display = m_connection->display();
    if (!display)
        return;
    if (std::any_of(events.begin(), events.end(), isKey)) {
        if (const screenlocker::State state = screenlocker::state(display);
            state != screenlocker::State::Awake) {
            writeAtLock(std::move(events), state == screenlocker::State::Locked);
            return;
        }
        m_lockDialogWait.invalidate();
        m_lockDialogUnseen = false;
    }
    // One write for a whole typed text: a flush per key costs a system call per event.
    writeKeysApart(display, events, events.size());
    XFlush(display);
}

bool X11Poster::writeKeysApart(Display* display, const std::vector<input::Event>& events, std::size_t to)
{
    for (std::size_t i = 0; i < to; ++i) {
        if (const int wait = m_pacer.waitBefore(events, i, keysApartMs); wait > 0) {
            m_waiting.assign(events.begin() + static_cast<std::ptrdiff_t>(i), events.end());
            m_waitingTimer.start(wait);
            return false;
        }
        write(display, events[i]);
        m_pacer.wentOut(events[i]);
    }
    return true;
}

void X11Poster::writeLending(std::vector<input::Event> events)
{
    const X11SpareKeys::Lending lending = m_spareKeys->lend(events, 0);
    Display* display = m_connection->display();
    if (!display)
        return;
    // The keys go out once clients had a moment for the new keymap (its keys are lent by then).
    if (lending.keymapChanged) {
        XFlush(display);
        m_waiting = std::move(events);
        m_waitingTimer.start(lentKeysSettleMs);
        return;
    }
    const bool whole = writeKeysApart(display, events, lending.covered);
    XFlush(display);
    m_spareKeys->pressed();
    if (whole && lending.covered < events.size()) {
        m_waiting.assign(events.begin() + static_cast<std::ptrdiff_t>(lending.covered), events.end());
        m_waitingTimer.start(m_spareKeys->waitMs());
    }
}

void X11Poster::writeAtLock(std::vector<input::Event> events, bool locked)
{
    Display* display = m_connection->display();
    if (!display)
        return;
    // At the blank screen the keys wait until it is woken (and, locked, shows its dialog).
    if (!m_lockDialogUnseen &&
        !(locked &&
          screenlocker::dialogShown(display, activeDisplays().value_or(std::vector<input::Rect>{})))) {
        // A move wakes it without typing, where a key would be lost or the dialog's first character.
        if (!m_lockDialogWait.isValid()) {
            m_lockDialogWait.start();
            console::line(locked ? QStringLiteral("The screen is locked: keys wait for its unlock dialog")
                                 : QStringLiteral("The screen is blank: keys wait until it is woken"));
            XTestFakeRelativeMotionEvent(display, 1, 0, CurrentTime);
            XTestFakeRelativeMotionEvent(display, -1, 0, CurrentTime);
            XFlush(display);
        }
        if (!m_lockDialogWait.hasExpired(lockDialogWaitMs)) {
            m_waiting = std::move(events);
            m_waitingTimer.start(lockDialogPollMs);
            return;
        }
        // A dialog not found (another version's) is not waited for again until the next lock.
        m_lockDialogUnseen = true;
    } else if (m_lockDialogWait.isValid()) {
        // Just up, it is still laying itself out, and reads its first keys late.
        m_lockDialogWait.invalidate();
        m_waiting = std::move(events);
        m_waitingTimer.start(lockDialogSettleMs);
        return;
    }
    m_lockDialogWait.invalidate();
    // The dialog reads the modifiers when it gets to a key, which may be well after the key came:
    // they change only once it has read the keys before, and a key pressed with them is read
    // before they are released.
    bool keysUnread = false;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const auto* key = std::get_if<input::KeyChange>(&events[i]);
        const bool modifier = key && input::isModifierKey(key->key);
        std::size_t waitFrom = events.size();
        if (modifier && keysUnread) {
            waitFrom = i;
        } else {
            write(display, events[i]);
            // A key knows the modifiers held around it.
            const auto* next =
                i + 1 < events.size() ? std::get_if<input::KeyChange>(&events[i + 1]) : nullptr;
            if (modifier && key->down && next && next->down && next->modifiers != 0)
                waitFrom = i + 1;
            if (!modifier && key && key->down) {
                keysUnread = true;
                if (key->modifiers != 0)
                    waitFrom = i + 1;
            }
        }
        if (waitFrom < events.size()) {
            m_waiting.assign(events.begin() + static_cast<std::ptrdiff_t>(waitFrom), events.end());
            m_waitingTimer.start(lockModifiedKeyMs);
            break;
        }
    }
    XFlush(display);
}

void X11Poster::resume()
{
    postAll(std::exchange(m_waiting, {}));
}

void X11Poster::writeCharacter(Display* display, const input::KeyChange& key)
{
    const std::optional<X11SpareKeys::Place> place =
        m_spareKeys ? m_spareKeys->place(key.character) : std::nullopt;
    if (!place)
        return;
    const KeyCode shift = place->shifted ? m_spareKeys->shiftKeycode() : 0;
    if (key.down && shift != 0)
        XTestFakeKeyEvent(display, shift, True, CurrentTime);
    XTestFakeKeyEvent(display, place->keycode, key.down ? True : False, CurrentTime);
    if (!key.down && shift != 0)
        XTestFakeKeyEvent(display, shift, False, CurrentTime);
}

bool X11Poster::write(Display* display, const input::Event& event)
{
    return std::visit(Overloaded{
                          [&](const input::PointerMotion& motion) {
                              const auto [dx, dy] = m_pointer.stepTo(motion.to);
                              if (dx != 0 || dy != 0)
                                  XTestFakeRelativeMotionEvent(display, dx, dy, CurrentTime);
                              m_pointer.notePosted(motion.to, {dx, dy});
                              return true;
                          },
                          [display](const input::ButtonChange& change) {
                              static constexpr unsigned buttons[] = {Button1, Button3, Button2};
                              XTestFakeButtonEvent(display, buttons[static_cast<int>(change.button)],
                                                   change.down ? True : False, CurrentTime);
                              return true;
                          },
                          [&](const input::WheelScroll& wheel) {
                              // Positive vertical scrolls up (button 4), positive horizontal left (button 6).
                              postWheel(display, m_wheelVertical, wheel.vertical, 4, 5);
                              postWheel(display, m_wheelHorizontal, wheel.horizontal, 6, 7);
                              return true;
                          },
                          [&](const input::KeyChange& key) {
                              if (key.character != 0)
                                  writeCharacter(display, key);
                              else
                                  postKey(display, key.key, key.down, key.byPlace);
                              return true;
                          },
                          [display](const input::MediaKey& media) {
                              postKey(display, media.key, media.down, false);
                              return true;
                          },
                          // Pasted text goes through the clipboard owner.
                          [](const input::ClipboardText&) { return false; },
                      },
                      event);
}

} // namespace quillmote::x11
