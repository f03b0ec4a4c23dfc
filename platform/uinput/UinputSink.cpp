// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/uinput/UinputSink.h"

#include "input/KeyTable.h"
#include "util/Overloaded.h"
#include "util/UniqueFd.h"

#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quillmote::uinput {

namespace {
// The high-resolution wheel axes count 120 per notch.
constexpr int hiResPerPixel = 120 / input::WheelSteps::pixelsPerNotch;

struct EvdevDeleter
{
    void operator()(libevdev* device) const { libevdev_free(device); }
};
using Evdev = std::unique_ptr<libevdev, EvdevDeleter>;

Evdev describePointer()
{
    Evdev device(libevdev_new());
    libevdev_set_name(device.get(), "Quillmote pointer");
    libevdev_set_id_bustype(device.get(), BUS_VIRTUAL);
    libevdev_enable_event_type(device.get(), EV_REL);
    for (const unsigned code : {REL_X, REL_Y, REL_WHEEL, REL_HWHEEL, REL_WHEEL_HI_RES, REL_HWHEEL_HI_RES})
        libevdev_enable_event_code(device.get(), EV_REL, code, nullptr);
    libevdev_enable_event_type(device.get(), EV_KEY);
    for (const input::Button button : {input::Button::Left, input::Button::Right, input::Button::Middle})
        libevdev_enable_event_code(device.get(), EV_KEY, input::evdevCode(button), nullptr);
    return device;
}

Evdev describeKeyboard()
{
    Evdev device(libevdev_new());
    libevdev_set_name(device.get(), "Quillmote keyboard");
    libevdev_set_id_bustype(device.get(), BUS_VIRTUAL);
    libevdev_enable_event_type(device.get(), EV_KEY);
    // Every keyboard key, the key table's (up to 225) and any that gives a shortcut's letter in
    // the user's layout.
    for (unsigned code = KEY_ESC; code <= KEY_MICMUTE; ++code)
        libevdev_enable_event_code(device.get(), EV_KEY, code, nullptr);
    return device;
}

// The device takes the descriptor over when it is created.
UinputDevice create(const Evdev& description, UniqueFd fd, int* error)
{
    libevdev_uinput* device = nullptr;
    *error = -libevdev_uinput_create_from_device(description.get(), fd.get(), &device);
    if (*error != 0)
        return nullptr;
    fd.release();
    return UinputDevice(device);
}
} // namespace

void UinputDeleter::operator()(libevdev_uinput* device) const
{
    if (!device)
        return;
    // Opened by us, so closed by us: libevdev leaves a descriptor it did not open.
    const UniqueFd fd(libevdev_uinput_get_fd(device));
    libevdev_uinput_destroy(device);
}

QString uinputPermissionAdvice()
{
    return QStringLiteral(
        "install the udev rule /lib/udev/rules.d/70-quillmote-uinput.rules (the Quillmote package does), "
        "run \"sudo udevadm trigger\", then log out and in again");
}

std::unique_ptr<UinputSink> UinputSink::open(input::InputAccess& access, QString* error,
                                             const QString& devicePath)
{
    const QByteArray path =
        devicePath.isEmpty() ? QByteArrayLiteral("/dev/uinput") : devicePath.toLocal8Bit();
    const auto openDevice = [&path] { return UniqueFd(::open(path.constData(), O_RDWR | O_CLOEXEC)); };
    UniqueFd fd = openDevice();
    if (!fd) {
        const int reason = errno;
        *error = QStringLiteral("cannot open %1: %2")
                     .arg(QString::fromLocal8Bit(path), QString::fromLocal8Bit(std::strerror(reason)));
        if (reason == EACCES || reason == EPERM)
            *error += QStringLiteral("; to allow it, ") + uinputPermissionAdvice();
        return nullptr;
    }
    int reason = 0;
    UinputDevice pointer = create(describePointer(), std::move(fd), &reason);
    if (!pointer) {
        *error = QStringLiteral("cannot create the virtual pointer: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(reason)));
        return nullptr;
    }
    fd = openDevice();
    if (!fd)
        reason = errno;
    UinputDevice keyboard = fd ? create(describeKeyboard(), std::move(fd), &reason) : nullptr;
    if (!keyboard) {
        *error = QStringLiteral("cannot create the virtual keyboard: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(reason)));
        return nullptr;
    }
    access.setState(input::InputAccess::State::Granted);
    return std::unique_ptr<UinputSink>(new UinputSink(std::move(pointer), std::move(keyboard)));
}

UinputSink::UinputSink(UinputDevice pointer, UinputDevice keyboard)
    : m_pointer(std::move(pointer)), m_keyboard(std::move(keyboard))
{
    m_partTimer.setSingleShot(true);
    QObject::connect(&m_partTimer, &QTimer::timeout, &m_partTimer, [this] {
        writePart();
        if (m_pending.empty())
            notifySent();
    });
}

void UinputSink::post(const input::Event& event)
{
    // Behind a text still going out, in order.
    if (!m_pending.empty())
        m_pending.push_back(event);
    else
        writeEvent(event);
}

void UinputSink::postAll(const std::vector<input::Event>& events)
{
    const bool idle = m_pending.empty();
    m_pending.insert(m_pending.end(), events.begin(), events.end());
    if (idle)
        writePart();
}

void UinputSink::writePart()
{
    m_partWritten = 0;
    while (!m_pending.empty() && m_partWritten < partEvents) {
        writeEvent(m_pending.front());
        m_pending.pop_front();
    }
    if (!m_pending.empty())
        m_partTimer.start(partGapMs);
}

std::uint16_t UinputSink::keyFor(const input::KeyChange& change)
{
    const std::uint16_t code = change.key;
    // The release goes to the key that was pressed, without asking the layout again.
    if (!change.down)
        return m_pressedAs.release(code);
    // A shortcut means its letter: where the layout is known, press the key that gives it.
    const std::optional<std::uint32_t> keysym = input::shortcutKeysym(change);
    if (!keysym || !m_layout)
        return code;
    return m_pressedAs.press(code, m_layout(*keysym).value_or(code));
}

void UinputSink::write(libevdev_uinput* device, unsigned type, unsigned code, int value)
{
    ++m_partWritten;
    libevdev_uinput_write_event(device, type, code, value);
}

void UinputSink::postWheel(const input::WheelScroll& wheel)
{
    // evdev's wheel is positive upwards, like ours; its horizontal wheel is positive to the
    // right, ours to the left.
    libevdev_uinput* device = m_pointer.get();
    const int notches = m_wheelVertical.take(wheel.vertical);
    const int sideNotches = m_wheelHorizontal.take(wheel.horizontal);
    const auto hiRes = [](std::int32_t pixels) {
        constexpr int most = input::WheelSteps::maxNotchesPerEvent * input::WheelSteps::pixelsPerNotch;
        return std::clamp(pixels, -most, most) * hiResPerPixel;
    };
    if (wheel.vertical != 0) {
        write(device, EV_REL, REL_WHEEL_HI_RES, hiRes(wheel.vertical));
        if (notches != 0)
            write(device, EV_REL, REL_WHEEL, notches);
    }
    if (wheel.horizontal != 0) {
        write(device, EV_REL, REL_HWHEEL_HI_RES, -hiRes(wheel.horizontal));
        if (sideNotches != 0)
            write(device, EV_REL, REL_HWHEEL, -sideNotches);
    }
}

void UinputSink::writeEvent(const input::Event& event)
{
    // The device written to, which then reports; none when nothing was written.
    libevdev_uinput* const pointer = m_pointer.get();
    libevdev_uinput* const keyboard = m_keyboard.get();
    libevdev_uinput* const written =
        std::visit(Overloaded{
                       [&](const input::PointerMotion& motion) -> libevdev_uinput* {
                           const auto [dx, dy] = m_motion.take(motion.dx, motion.dy);
                           if (dx == 0 && dy == 0)
                               return nullptr;
                           if (dx != 0)
                               write(pointer, EV_REL, REL_X, dx);
                           if (dy != 0)
                               write(pointer, EV_REL, REL_Y, dy);
                           return pointer;
                       },
                       [&](const input::ButtonChange& change) -> libevdev_uinput* {
                           write(pointer, EV_KEY, input::evdevCode(change.button), change.down ? 1 : 0);
                           return pointer;
                       },
                       [&](const input::WheelScroll& wheel) -> libevdev_uinput* {
                           postWheel(wheel);
                           return pointer;
                       },
                       [&](const input::KeyChange& key) -> libevdev_uinput* {
                           write(keyboard, EV_KEY, keyFor(key), key.down ? 1 : 0);
                           return keyboard;
                       },
                       [&](const input::MediaKey& media) -> libevdev_uinput* {
                           write(keyboard, EV_KEY, media.key, media.down ? 1 : 0);
                           return keyboard;
                       },
                       // Pasted text goes through the clipboard owner.
                       [](const input::ClipboardText&) -> libevdev_uinput* { return nullptr; },
                   },
                   event);
    if (written)
        write(written, EV_SYN, SYN_REPORT, 0);
}

} // namespace quillmote::uinput
