// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/KeyPacer.h"

#include "input/KeyTable.h"

#include <algorithm>
#include <iterator>

namespace quillmote::input {

namespace {
bool isModifier(std::uint16_t key)
{
    return std::any_of(std::begin(modifierOrder), std::end(modifierOrder),
                       [key](Modifier m) { return modifierKey(m) == key; });
}
} // namespace

KeyPacer::Kind KeyPacer::kindOf(const KeyChange& key)
{
    if (!(key.byPlace || key.character != 0) || (key.modifiers & (Control | Alt | Super)) != 0)
        return Kind::Other;
    return key.character > 0xffff ? Kind::WideText : Kind::Text;
}

std::optional<KeyPacer::Kind> KeyPacer::pressedKind(const std::vector<Event>& events, std::size_t i)
{
    for (; i < events.size(); ++i) {
        const auto* key = std::get_if<KeyChange>(&events[i]);
        if (!key || !key->down) {
            if (key || !std::holds_alternative<MediaKey>(events[i]))
                return std::nullopt;
            return Kind::Other;
        }
        if (!isModifier(key->key))
            return kindOf(*key);
    }
    return Kind::Other;
}

bool KeyPacer::changesKind(const std::vector<Event>& events, std::size_t i) const
{
    const std::optional<Kind> kind = pressedKind(events, i);
    return kind && *kind != m_lastKind && m_lastKey.isValid();
}

int KeyPacer::waitBefore(const std::vector<Event>& events, std::size_t i) const
{
    if (!changesKind(events, i))
        return 0;
    return static_cast<int>(std::max<qint64>(0, m_apartMs - m_lastKey.elapsed()));
}

void KeyPacer::wentOut(const Event& event)
{
    if (const auto* key = std::get_if<KeyChange>(&event); key && !key->down && !isModifier(key->key)) {
        m_lastKind = kindOf(*key);
        m_lastKey.start();
    }
}

} // namespace quillmote::input
