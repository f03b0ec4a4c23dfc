// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/ClipboardOwner.h"
#include "input/EventSink.h"
#include "input/Events.h"
#include "input/KeyCodes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>

namespace quillmote::input {

// What the injecting backends (X11, the RemoteDesktop portal, uinput) consume: the desktop event
// model's events translated once, here, into Linux terms.

enum ModifierBit : std::uint8_t {
    ModControl = 1,
    ModShift = 2,
    ModAlt = 4,
    ModSuper = 8,
};

// A move to `to` (absolute backends), which is also the pointer's old position moved by dx, dy
// (relative backends). Fractions are kept: the backend decides what to do with them.
struct PointerMotion
{
    Point to;
    double dx = 0;
    double dy = 0;
    bool operator==(const PointerMotion&) const = default;
};

enum class PointerButton : std::uint8_t { Left, Right, Middle };
// The evdev code: BTN_LEFT, BTN_RIGHT, BTN_MIDDLE.
std::uint16_t evdevButtonCode(PointerButton button);

struct ButtonChange
{
    PointerButton button = PointerButton::Left;
    bool down = false;
    bool operator==(const ButtonChange&) const = default;
};

// Whole pixels of wheel travel; positive vertical scrolls up, positive horizontal left, as the
// wheel of the desktop event model turns.
struct WheelScroll
{
    std::int32_t vertical = 0;
    std::int32_t horizontal = 0;
    bool operator==(const WheelScroll&) const = default;
};

// A key with the modifiers held while it goes down (ModifierBit); modifier keys come as keys of
// their own, pressed before and released after.
struct KeyChange
{
    LinuxKey key{};
    bool down = false;
    std::uint8_t modifiers = 0;
    // For a letter or digit pressed with Control, Alt or Super, its keysym: a shortcut means the
    // character in the user's layout rather than the key's place. Empty for other keys.
    std::optional<std::uint32_t> shortcutKeysym() const;
};

using LinuxEvent = std::variant<PointerMotion, ButtonChange, WheelScroll, KeyChange>;

// Empty for events that mean nothing on Linux (an unknown key code, another system event).
std::optional<LinuxEvent> toLinuxEvent(const Event& event);

// A sink that takes the Linux event model; the translation happens before it sees anything.
// Sinks that cannot own the clipboard themselves hand pastes to a ClipboardOwner.
class LinuxEventSink : public EventSink
{
public:
    void post(const Event& event) final
    {
        if (const std::optional<LinuxEvent> translated = toLinuxEvent(event))
            postLinux(*translated);
    }
    virtual void postLinux(const LinuxEvent& event) = 0;

    void setClipboardOwner(std::unique_ptr<ClipboardOwner> owner)
    {
        m_clipboard = std::move(owner);
        if (m_clipboard)
            m_clipboard->setFetchedHandler([this] { notifyPasteFetched(); });
    }
    bool setClipboardText(const QString& text) override
    {
        return m_clipboard && m_clipboard->setText(text, false);
    }
    bool setSelectionText(const QString& text) override
    {
        return m_clipboard && m_clipboard->setText(text, true);
    }
    bool reportsPasteFetched() const override { return m_clipboard && m_clipboard->reportsFetched(); }

private:
    std::unique_ptr<ClipboardOwner> m_clipboard;
};

} // namespace quillmote::input
