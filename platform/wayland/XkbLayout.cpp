// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/wayland/XkbLayout.h"

#include <xkbcommon/xkbcommon.h>

#include <bit>
#include <cstring>
#include <sys/mman.h>

namespace quillmote::wayland {

namespace {
// The first keycode of an XKB keymap that is an evdev key: XKB codes are evdev codes + 8.
constexpr xkb_keycode_t evdevOffset = 8;

struct ContextDeleter
{
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};

// A private read-only mapping of a descriptor, unmapped with it.
class Mapping
{
public:
    Mapping(int fd, std::size_t size)
        : m_size(size), m_data(size == 0 ? MAP_FAILED : mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0))
    {
    }
    ~Mapping()
    {
        if (m_data != MAP_FAILED)
            munmap(m_data, m_size);
    }
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    const char* data() const { return m_data == MAP_FAILED ? nullptr : static_cast<const char*>(m_data); }

private:
    std::size_t m_size;
    void* m_data;
};
} // namespace

void XkbLayout::KeymapDeleter::operator()(xkb_keymap* keymap) const
{
    xkb_keymap_unref(keymap);
}

std::optional<XkbLayout> XkbLayout::fromText(const char* text, std::size_t size)
{
    const std::unique_ptr<xkb_context, ContextDeleter> context(
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!context || !text)
        return std::nullopt;
    // The text may end in NULs (a keymap sent in a file is NUL-terminated).
    size = strnlen(text, size);
    std::shared_ptr<xkb_keymap> keymap(xkb_keymap_new_from_buffer(context.get(), text, size,
                                                                  XKB_KEYMAP_FORMAT_TEXT_V1,
                                                                  XKB_KEYMAP_COMPILE_NO_FLAGS),
                                       KeymapDeleter());
    if (!keymap)
        return std::nullopt;
    return XkbLayout(std::move(keymap));
}

std::optional<XkbLayout> XkbLayout::fromFd(int fd, std::size_t size)
{
    const Mapping mapping(fd, size);
    return fromText(mapping.data(), size);
}

// Calls visit(evdev key, keysym, modifiers) for every level of the group that Shift and AltGr
// alone select; levels that need another modifier (Control, Lock) are not typed.
template <typename Visit> void XkbLayout::forEachLevel(Visit&& visit) const
{
    xkb_keymap* keymap = m_keymap.get();
    const xkb_mod_index_t shift = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
    // The real modifier of the third level (AltGr), as X11 keymaps name it.
    const xkb_mod_index_t level3 = xkb_keymap_mod_get_index(keymap, "Mod5");
    const xkb_mod_mask_t shiftMask = shift == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t(1) << shift;
    const xkb_mod_mask_t level3Mask = level3 == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t(1) << level3;
    for (xkb_keycode_t code = std::max(xkb_keymap_min_keycode(keymap), evdevOffset);
         code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_layout_index_t groups = xkb_keymap_num_layouts_for_key(keymap, code);
        if (groups == 0)
            continue;
        const xkb_layout_index_t group = m_group < groups ? m_group : 0;
        for (xkb_level_index_t level = 0; level < xkb_keymap_num_levels_for_key(keymap, code, group);
             ++level) {
            xkb_mod_mask_t masks[16];
            const std::size_t count =
                xkb_keymap_key_get_mods_for_level(keymap, code, group, level, masks, 16);
            std::optional<xkb_mod_mask_t> best;
            for (std::size_t i = 0; i < count; ++i) {
                if ((masks[i] & ~(shiftMask | level3Mask)) == 0 &&
                    (!best || std::popcount(masks[i]) < std::popcount(*best)))
                    best = masks[i];
            }
            const xkb_keysym_t* syms = nullptr;
            if (!best || xkb_keymap_key_get_syms_by_level(keymap, code, group, level, &syms) != 1)
                continue;
            input::ModifierSet modifiers = 0;
            if (*best & shiftMask)
                modifiers |= input::Shift;
            if (*best & level3Mask)
                modifiers |= input::AltGr;
            visit(static_cast<std::uint16_t>(code - evdevOffset), syms[0], modifiers);
        }
    }
}

input::CharacterKeys XkbLayout::characterKeys() const
{
    input::CharacterKeys keys;
    forEachLevel([&keys](std::uint16_t key, xkb_keysym_t keysym, input::ModifierSet modifiers) {
        const char32_t character = xkb_keysym_to_utf32(keysym);
        if (character == 0)
            return;
        // The key with the fewest modifiers wins; among equals the lowest keycode.
        const auto known = keys.find(character);
        if (known == keys.end() || std::popcount(known->second.modifiers) > std::popcount(modifiers))
            keys[character] = {key, modifiers};
    });
    return keys;
}

std::optional<std::uint16_t> XkbLayout::keyFor(std::uint32_t keysym) const
{
    std::optional<input::KeyStroke> best;
    forEachLevel([&](std::uint16_t key, xkb_keysym_t found, input::ModifierSet modifiers) {
        if (found == keysym && (!best || std::popcount(best->modifiers) > std::popcount(modifiers)))
            best = input::KeyStroke{key, modifiers};
    });
    if (!best)
        return std::nullopt;
    return best->key;
}

input::CharacterKeys LearnedKeymap::characterKeys()
{
    return m_learned->layout ? m_learned->layout->characterKeys() : input::usCharacterKeys();
}

} // namespace quillmote::wayland
