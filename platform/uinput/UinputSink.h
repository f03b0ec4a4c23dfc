// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/EventSink.h"
#include "input/InputAccess.h"
#include "input/KeyTable.h"
#include "input/PointerState.h"

#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

struct libevdev_uinput;

namespace quillmote::uinput {

struct UinputDeleter
{
    void operator()(libevdev_uinput* device) const;
};
using UinputDevice = std::unique_ptr<libevdev_uinput, UinputDeleter>;

// What to run when /dev/uinput may not be opened: the udev rule that lets logind give the
// user of the local session access to it.
QString uinputPermissionAdvice();

// Input through two kernel virtual devices, a relative pointer and a keyboard, on /dev/uinput:
// works under any compositor and on the console. The compositor applies its pointer
// acceleration to the motion, as it does for a real mouse.
class UinputSink : public input::EventSink
{
public:
    // The evdev key that gives a character (a keysym) in the user's layout; empty when unknown.
    using LayoutLookup = std::function<std::optional<std::uint16_t>(std::uint32_t keysym)>;

    // Null, with the reason in *error, when the devices cannot be created. Whoever may create
    // them may post input: access is granted once they are there.
    static std::unique_ptr<UinputSink> open(input::InputAccess& access, QString* error,
                                            const QString& devicePath = {});

    QString name() const override { return QStringLiteral("uinput"); }
    bool movesRelatively() const override { return true; }
    std::optional<input::Point> pointerLocation() override { return std::nullopt; }
    std::optional<std::vector<input::Rect>> activeDisplays() override { return std::nullopt; }
    void post(const input::Event& event) override;
    void postAll(const std::vector<input::Event>& events) override;
    bool keysPending() const override { return !m_pending.empty(); }
    // Each reader of an evdev device has room for 64 events: a long text written in one go
    // overflows a compositor that does not read meanwhile, which then loses the keys in between.
    // Texts go out in parts well under that, a moment apart.
    static constexpr int partEvents = 24; // SYN_REPORTs included
    static constexpr int partGapMs = 2;
    // Keys reach the compositor in one burst, as XTest's reach the X server, where 50 ms kept
    // LibreOffice's order (input::KeyPacer).
    int keysApartMs() const override { return 50; }
    void setLayoutLookup(LayoutLookup lookup) { m_layout = std::move(lookup); }

private:
    UinputSink(UinputDevice pointer, UinputDevice keyboard);
    void write(libevdev_uinput* device, unsigned type, unsigned code, int value);
    void writeEvent(const input::Event& event);
    void writePart();
    std::uint16_t keyFor(const input::KeyChange& change);
    void postWheel(const input::WheelScroll& wheel);

    UinputDevice m_pointer;
    UinputDevice m_keyboard;
    LayoutLookup m_layout;
    // Keys pressed as another key of the layout, by their own code: their release follows.
    input::PressedKeys m_pressedAs;
    input::SubPixelMotion m_motion;
    input::WheelSteps m_wheelVertical;
    input::WheelSteps m_wheelHorizontal;
    // What waits for the next part, in order; and how many events the current part holds.
    std::deque<input::Event> m_pending;
    int m_partWritten = 0;
    QTimer m_partTimer;
};

} // namespace quillmote::uinput
