// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11SpareKeys.h"

#include "util/Log.h"

#include "platform/x11/XResources.h"

#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace quillmote::x11 {

namespace {
// The keysym that names the character: Latin-1's own, a named one (Cyrillic_em), else Unicode's.
KeySym keysymFor(char32_t character)
{
    return xkb_utf32_to_keysym(static_cast<std::uint32_t>(character));
}

// The server's whole core keymap, read in one round trip.
struct CoreMap
{
    int first = 0;
    int last = -1;
    int perKey = 0;
    XData<KeySym> keysyms;

    const KeySym* of(int keycode) const { return keysyms.get() + (keycode - first) * perKey; }
    bool isEmpty(int keycode) const
    {
        const KeySym* syms = of(keycode);
        return std::all_of(syms, syms + perKey, [](KeySym sym) { return sym == NoSymbol; });
    }
};

bool readCoreMap(Display* display, CoreMap& map)
{
    XDisplayKeycodes(display, &map.first, &map.last);
    map.keysyms.reset(
        XGetKeyboardMapping(display, static_cast<KeyCode>(map.first), map.last - map.first + 1, &map.perKey));
    return map.keysyms && map.perKey > 0;
}
} // namespace

X11SpareKeys::X11SpareKeys(std::shared_ptr<X11Connection> connection) : m_connection(std::move(connection))
{
    m_restoreTimer.setSingleShot(true);
    m_restoreTimer.setInterval(restoreAfterMs);
    connect(&m_restoreTimer, &QTimer::timeout, this, &X11SpareKeys::restore);
    // Another server, or none: what was lent went with the old one.
    connect(m_connection.get(), &X11Connection::lost, this, &X11SpareKeys::forgetAll);
    connect(m_connection.get(), &X11Connection::connected, this, &X11SpareKeys::forgetAll);
}

X11SpareKeys::~X11SpareKeys()
{
    restore();
}

X11SpareKeys::Lending X11SpareKeys::lend(const std::vector<input::Event>& events, std::size_t from)
{
    Display* display = m_connection->display();
    CoreMap map;
    const bool read = display && readCoreMap(display, map);
    m_connection->processEventsSoon();
    if (!read || !m_connection->isConnected())
        return {events.size(), false}; // nothing is written without a display anyway
    // A lent key that no longer holds what we gave it was changed by someone else: theirs now.
    for (auto lent = m_lent.begin(); lent != m_lent.end();) {
        const KeySym* syms = map.of(lent->first);
        const bool ours =
            map.perKey >= 2 && syms[0] == lent->second.keysyms[0] && syms[1] == lent->second.keysyms[1];
        if (ours) {
            lent->second.inUse = false;
            ++lent;
            continue;
        }
        std::erase_if(m_places,
                      [keycode = lent->first](const auto& place) { return place.second.keycode == keycode; });
        lent = m_lent.erase(lent);
    }
    std::vector<std::uint8_t> spare;
    m_shiftKeycode = 0;
    for (int keycode = std::max(map.first, 8); keycode <= std::min(map.last, 255); ++keycode) {
        if (map.isEmpty(keycode) && !m_lent.contains(static_cast<std::uint8_t>(keycode)))
            spare.push_back(static_cast<std::uint8_t>(keycode));
        const KeySym* syms = map.of(keycode);
        if (m_shiftKeycode == 0 && std::find(syms, syms + map.perKey, XK_Shift_L) != syms + map.perKey)
            m_shiftKeycode = static_cast<std::uint8_t>(keycode);
    }
    // Tools that type a character the layout lacks (xdotool) borrow the lowest free keycode for a
    // moment: those stay free, or the two would rebind each other's keys. Highest first, from the back.
    spare.erase(spare.begin(), spare.begin() + static_cast<std::ptrdiff_t>(std::min(keptFree, spare.size())));

    std::vector<std::uint8_t> changed;
    const auto now = Clock::now();
    std::size_t i = from;
    for (; i < events.size(); ++i) {
        const auto* key = std::get_if<input::KeyChange>(&events[i]);
        if (!key || key->character == 0)
            continue;
        if (const auto known = m_places.find(key->character); known != m_places.end()) {
            m_lent[known->second.keycode].inUse = true;
            continue;
        }
        const KeySym keysym = keysymFor(key->character);
        if (keysym == NoSymbol)
            continue; // no keysym names it: it is left out
        // A key lent by this text whose second level is free, then a spare key, then the key lent
        // longest ago, once no client can still be reading its last presses.
        auto second = m_shiftKeycode == 0 ? m_lent.end()
                                          : std::find_if(m_lent.begin(), m_lent.end(), [](const auto& lent) {
                                                return lent.second.keysyms[0] == lent.second.keysyms[1];
                                            });
        if (second != m_lent.end()) {
            second->second.keysyms[1] = keysym;
            second->second.inUse = true;
            m_places[key->character] = {second->first, true};
            changed.push_back(second->first);
            continue;
        }
        std::uint8_t keycode = 0;
        if (!spare.empty()) {
            keycode = spare.back();
            spare.pop_back();
        } else {
            auto oldest = m_lent.end();
            for (auto lent = m_lent.begin(); lent != m_lent.end(); ++lent) {
                if (!lent->second.inUse &&
                    now - lent->second.pressed >= std::chrono::milliseconds(rebindAfterMs) &&
                    (oldest == m_lent.end() || lent->second.pressed < oldest->second.pressed))
                    oldest = lent;
            }
            if (oldest == m_lent.end()) {
                if (m_lent.empty()) {
                    qCWarning(lcInput).noquote()
                        << "no spare key to type" << QString::fromUcs4(&key->character, 1);
                    continue;
                }
                break; // the rest once a key can be taken back
            }
            keycode = oldest->first;
            std::erase_if(m_places, [keycode](const auto& place) { return place.second.keycode == keycode; });
        }
        m_lent[keycode] = Lent{{keysym, keysym}, now, true};
        m_places[key->character] = {keycode, false};
        changed.push_back(keycode);
    }
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    for (const std::uint8_t keycode : changed)
        setKey(keycode, m_lent[keycode].keysyms);
    return {i, !changed.empty()};
}

std::optional<X11SpareKeys::Place> X11SpareKeys::place(char32_t character) const
{
    const auto found = m_places.find(character);
    if (found == m_places.end())
        return std::nullopt;
    return found->second;
}

void X11SpareKeys::pressed()
{
    const auto now = Clock::now();
    for (auto& [keycode, lent] : m_lent) {
        if (lent.inUse)
            lent.pressed = now;
    }
    if (!m_lent.empty())
        m_restoreTimer.start();
}

int X11SpareKeys::waitMs() const
{
    const auto now = Clock::now();
    auto wait = std::chrono::milliseconds(rebindAfterMs);
    for (const auto& [keycode, lent] : m_lent)
        wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(
                                  lent.pressed + std::chrono::milliseconds(rebindAfterMs) - now));
    return std::max(1, static_cast<int>(wait.count()));
}

bool X11SpareKeys::setKey(std::uint8_t keycode, const std::array<unsigned long, 2>& keysyms)
{
    Display* display = m_connection->display();
    if (!display)
        return false;
    KeySym syms[2] = {keysyms[0], keysyms[1]};
    XChangeKeyboardMapping(display, keycode, syms[0] == NoSymbol ? 1 : 2, syms, 1);
    return true;
}

void X11SpareKeys::restore()
{
    m_restoreTimer.stop();
    Display* display = m_connection->display();
    CoreMap map;
    if (!m_lent.empty() && display && readCoreMap(display, map)) {
        // Only keys that still hold what we lent: one changed since is the user's.
        for (const auto& [keycode, lent] : m_lent) {
            const KeySym* syms = map.of(keycode);
            if (map.perKey >= 2 && syms[0] == lent.keysyms[0] && syms[1] == lent.keysyms[1])
                setKey(keycode, {NoSymbol, NoSymbol});
        }
        if (m_connection->display())
            XFlush(display);
        m_connection->processEventsSoon();
    }
    forgetAll();
}

void X11SpareKeys::forgetAll()
{
    m_restoreTimer.stop();
    m_lent.clear();
    m_places.clear();
}

} // namespace quillmote::x11
