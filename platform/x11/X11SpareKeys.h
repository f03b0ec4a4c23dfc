// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Events.h"
#include "platform/x11/X11Connection.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace quillmote::x11 {

// Lends the characters a layout lacks the keycodes that have no symbols in the server's keymap (but
// the lowest keptFree), two to a key (the second with Shift), so that they are typed as keys like
// any other.
//
// Clients read their keymap again only when they next translate a key after a mapping change, so a
// key must not change while a client may still have its events to read: a lent key keeps its
// character until a later text needs the key and rebindAfterMs has passed since it was last
// pressed, and the keys go back to having no symbols only after restoreAfterMs without typing. A
// key someone else changed meanwhile (setxkbmap, xmodmap) is theirs again and left alone.
class X11SpareKeys : public QObject
{
    Q_OBJECT
public:
    static constexpr int rebindAfterMs = 250;
    static constexpr int restoreAfterMs = 1500;
    // The lowest keycodes without symbols, left to other tools.
    static constexpr std::size_t keptFree = 2;

    // Where a lent character is: its keycode, and whether Shift selects it.
    struct Place
    {
        std::uint8_t keycode = 0;
        bool shifted = false;
    };

    explicit X11SpareKeys(std::shared_ptr<X11Connection> connection);
    ~X11SpareKeys() override;
    X11SpareKeys(const X11SpareKeys&) = delete;
    X11SpareKeys& operator=(const X11SpareKeys&) = delete;

    // Whether the key holds a character lent by us: it is no part of the user's layout.
    bool lends(std::uint8_t keycode) const { return m_lent.contains(keycode); }

    struct Lending
    {
        // The index of the first event whose character has no key yet (the events' size when all
        // have one): the events before it may be written, the rest after waitMs().
        std::size_t covered = 0;
        // Whether a key was given a character it did not hold.
        bool keymapChanged = false;
    };
    // Gives keys to the characters of events[from..] in order, as far as the spare keys allow.
    Lending lend(const std::vector<input::Event>& events, std::size_t from);
    // Where a character of the events lend() covered is now, and the Shift key that selects a
    // second level.
    std::optional<Place> place(char32_t character) const;
    std::uint8_t shiftKeycode() const { return m_shiftKeycode; }
    // After writing the events up to what lend() returned: their keys count as pressed now.
    void pressed();
    // How long the next lend() has to wait before it can take a key back for another character.
    int waitMs() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Lent
    {
        std::array<unsigned long, 2> keysyms{}; // the second is the first again when unused
        Clock::time_point pressed;
        bool inUse = false; // by the events being lent for now
    };
    void restore();
    void forgetAll();
    bool setKey(std::uint8_t keycode, const std::array<unsigned long, 2>& keysyms);

    std::shared_ptr<X11Connection> m_connection;
    std::unordered_map<std::uint8_t, Lent> m_lent;
    std::unordered_map<char32_t, Place> m_places;
    std::uint8_t m_shiftKeycode = 0;
    QTimer m_restoreTimer;
};

} // namespace quillmote::x11
