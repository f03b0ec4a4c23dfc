// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11Keymap.h"

#include "platform/x11/XResources.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <bit>
#include <memory>

namespace quillmote::x11 {

namespace {
struct KeyboardDeleter
{
    void operator()(XkbDescPtr keyboard) const { XkbFreeKeyboard(keyboard, 0, True); }
};

// The modifiers of a level of a key type: none for the first, else the smallest set that
// selects it; empty when no set does.
std::optional<unsigned> levelModifiers(const XkbKeyTypeRec& type, int level)
{
    if (level == 0)
        return 0u;
    std::optional<unsigned> best;
    for (int i = 0; i < type.map_count; ++i) {
        const XkbKTMapEntryRec& entry = type.map[i];
        if (entry.active && entry.level == level &&
            (!best || std::popcount(entry.mods.mask) < std::popcount(*best)))
            best = entry.mods.mask;
    }
    return best;
}
} // namespace

input::CharacterKeys X11Keymap::characterKeys()
{
    m_typesAny = false;
    Display* display = m_connection->display();
    if (!display)
        return input::usCharacterKeys();
    const std::unique_ptr<XkbDescRec, KeyboardDeleter> keyboard(
        XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd));
    XkbStateRec state{};
    const bool read =
        keyboard && m_connection->isConnected() && XkbGetState(display, XkbUseCoreKbd, &state) == Success;
    // The round trips queue the events that came meanwhile (a selection being copied) inside Xlib,
    // where the socket's notifier does not see them.
    m_connection->processEventsSoon();
    if (!read)
        return input::usCharacterKeys();
    // Whichever real modifier the layout's third-level key sets (usually Mod5).
    const unsigned level3 = XkbKeysymToModifiers(display, XK_ISO_Level3_Shift);
    input::CharacterKeys keys;
    for (int keycode = keyboard->min_key_code; keycode <= keyboard->max_key_code && keycode >= 8; ++keycode) {
        const int groups = XkbKeyNumGroups(keyboard.get(), keycode);
        const bool lent =
            m_spareKeys && keycode <= 255 && m_spareKeys->lends(static_cast<std::uint8_t>(keycode));
        if (m_spareKeys && (groups == 0 || lent) && keycode <= 255)
            m_typesAny = true;
        if (groups == 0 || lent)
            continue;
        const int group = state.group < groups ? state.group : 0;
        const XkbKeyTypeRec& type = *XkbKeyKeyType(keyboard.get(), keycode, group);
        for (int level = 0; level < type.num_levels; ++level) {
            const std::optional<unsigned> mask = levelModifiers(type, level);
            if (!mask || (*mask & ~(ShiftMask | level3)) != 0)
                continue; // a level that needs another modifier (Control, Lock) is not typed
            const KeySym keysym = XkbKeySymEntry(keyboard.get(), keycode, level, group);
            const char32_t character = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
            if (character == 0)
                continue;
            input::ModifierSet modifiers = 0;
            if (*mask & ShiftMask)
                modifiers |= input::Shift;
            if (level3 != 0 && (*mask & level3) == level3)
                modifiers |= input::AltGr;
            // The key with the fewest modifiers wins; among equals the lowest keycode.
            const auto known = keys.find(character);
            if (known == keys.end() || std::popcount(known->second.modifiers) > std::popcount(modifiers))
                keys[character] = {static_cast<std::uint16_t>(keycode - 8), modifiers};
        }
    }
    return keys;
}

} // namespace quillmote::x11
