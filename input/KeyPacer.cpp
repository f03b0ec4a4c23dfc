// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/KeyPacer.h"

#include "input/KeyTable.h"

#include <algorithm>
#include <optional>

namespace quillmote::input {

namespace {
KeyPacer::Kind kindOf(const KeyChange& key)
{
    if (!(key.byPlace || key.character != 0) || (key.modifiers & (Control | Alt | Super)) != 0)
        return KeyPacer::Kind::Other;
    return key.character > 0xffff ? KeyPacer::Kind::WideText : KeyPacer::Kind::Text;
}

// The kind of key events[i] presses (or the key after the modifiers it starts); nothing for an
// event that presses no key.
std::optional<KeyPacer::Kind> pressedKind(const std::vector<Event>& events, std::size_t i)
{
    for (; i < events.size(); ++i) {
        const auto* key = std::get_if<KeyChange>(&events[i]);
        if (!key || !key->down) {
            if (key || !std::holds_alternative<MediaKey>(events[i]))
                return std::nullopt;
            return KeyPacer::Kind::Other;
        }
        if (!isModifierKey(key->key))
            return kindOf(*key);
    }
    return KeyPacer::Kind::Other;
}
} // namespace

int KeyPacer::waitBefore(const std::vector<Event>& events, std::size_t i, int apartMs) const
{
    if (apartMs <= 0 || !m_lastKey.isValid())
        return 0;
    const std::optional<Kind> kind = pressedKind(events, i);
    if (!kind || *kind == m_lastKind)
        return 0;
    if (m_pending)
        return untilSent;
    return static_cast<int>(std::max<qint64>(0, apartMs - m_lastKey.elapsed()));
}

void KeyPacer::wentOut(const Event& event)
{
    if (const auto* key = std::get_if<KeyChange>(&event); key && !key->down && !isModifierKey(key->key)) {
        m_lastKind = kindOf(*key);
        m_lastKey.start();
    }
}

void KeyPacer::sent()
{
    if (m_pending && m_lastKey.isValid())
        m_lastKey.start();
    m_pending = false;
}

} // namespace quillmote::input
