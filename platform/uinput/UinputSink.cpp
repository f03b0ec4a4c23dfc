// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/uinput/UinputSink.h"

#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quillmote::uinput {

namespace {
// The high-resolution wheel axes count 120 per notch; a notch is 10 pixels.
constexpr int hiResPerPixel = 12;

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
    for (const unsigned code : {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE})
        libevdev_enable_event_code(device.get(), EV_KEY, code, nullptr);
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

UinputDevice create(const Evdev& description, int fd, int* error)
{
    libevdev_uinput* device = nullptr;
    *error = -libevdev_uinput_create_from_device(description.get(), fd, &device);
    return UinputDevice(*error == 0 ? device : nullptr);
}
} // namespace

void UinputDeleter::operator()(libevdev_uinput* device) const
{
    if (!device)
        return;
    // Opened by us, so closed by us: libevdev leaves a descriptor it did not open.
    const int fd = libevdev_uinput_get_fd(device);
    libevdev_uinput_destroy(device);
    ::close(fd);
}

QString uinputPermissionAdvice()
{
    return QStringLiteral(
        "install the udev rule /lib/udev/rules.d/70-quillmote-uinput.rules (the Quillmote package does), "
        "run \"sudo udevadm trigger\", then log out and in again");
}

std::unique_ptr<UinputSink> UinputSink::open(QString* error, const QString& devicePath)
{
    const QByteArray path =
        devicePath.isEmpty() ? QByteArrayLiteral("/dev/uinput") : devicePath.toLocal8Bit();
    const auto openDevice = [&path] { return ::open(path.constData(), O_RDWR | O_CLOEXEC); };
    int fd = openDevice();
    if (fd < 0) {
        const int reason = errno;
        *error = QStringLiteral("cannot open %1: %2")
                     .arg(QString::fromLocal8Bit(path), QString::fromLocal8Bit(std::strerror(reason)));
        if (reason == EACCES || reason == EPERM)
            *error += QStringLiteral("; to allow it, ") + uinputPermissionAdvice();
        return nullptr;
    }
    int reason = 0;
    UinputDevice pointer = create(describePointer(), fd, &reason);
    if (!pointer) {
        ::close(fd);
        *error = QStringLiteral("cannot create the virtual pointer: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(reason)));
        return nullptr;
    }
    fd = openDevice();
    UinputDevice keyboard = fd < 0 ? nullptr : create(describeKeyboard(), fd, &reason);
    if (!keyboard) {
        if (fd >= 0)
            ::close(fd);
        *error = QStringLiteral("cannot create the virtual keyboard: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(fd < 0 ? errno : reason)));
        return nullptr;
    }
    return std::unique_ptr<UinputSink>(new UinputSink(std::move(pointer), std::move(keyboard)));
}

UinputSink::UinputSink(UinputDevice pointer, UinputDevice keyboard)
    : m_pointer(std::move(pointer)), m_keyboard(std::move(keyboard))
{
}

std::uint16_t UinputSink::keyFor(const input::KeyChange& change)
{
    const std::uint16_t code = change.key.evdevCode;
    // The release goes to the key that was pressed, without asking the layout again.
    if (!change.down) {
        const auto pressed = m_pressedAs.find(code);
        if (pressed == m_pressedAs.end())
            return code;
        const std::uint16_t chosen = pressed->second;
        m_pressedAs.erase(pressed);
        return chosen;
    }
    // A shortcut means its letter: where the layout is known, press the key that gives it.
    const std::optional<std::uint32_t> keysym = change.shortcutKeysym();
    if (!keysym || !m_layout)
        return code;
    const std::uint16_t chosen = m_layout(*keysym).value_or(code);
    m_pressedAs[code] = chosen;
    return chosen;
}

void UinputSink::write(libevdev_uinput* device, unsigned type, unsigned code, int value)
{
    libevdev_uinput_write_event(device, type, code, value);
}

void UinputSink::postLinux(const input::LinuxEvent& event)
{
    libevdev_uinput* device = m_pointer.get();
    if (const auto* motion = std::get_if<input::PointerMotion>(&event)) {
        const auto [dx, dy] = m_motion.take(motion->dx, motion->dy);
        if (dx == 0 && dy == 0)
            return;
        if (dx != 0)
            write(device, EV_REL, REL_X, dx);
        if (dy != 0)
            write(device, EV_REL, REL_Y, dy);
    } else if (const auto* change = std::get_if<input::ButtonChange>(&event)) {
        write(device, EV_KEY, input::evdevButtonCode(change->button), change->down ? 1 : 0);
    } else if (const auto* wheel = std::get_if<input::WheelScroll>(&event)) {
        // evdev's wheel is positive upwards, like ours; its horizontal wheel is positive to
        // the right, ours to the left.
        const int notches = m_wheelVertical.take(wheel->vertical);
        const int sideNotches = m_wheelHorizontal.take(wheel->horizontal);
        const auto hiRes = [](std::int32_t pixels) {
            constexpr int most = input::WheelSteps::maxNotchesPerEvent * input::WheelSteps::pixelsPerNotch;
            return std::clamp(pixels, -most, most) * hiResPerPixel;
        };
        if (wheel->vertical != 0) {
            write(device, EV_REL, REL_WHEEL_HI_RES, hiRes(wheel->vertical));
            if (notches != 0)
                write(device, EV_REL, REL_WHEEL, notches);
        }
        if (wheel->horizontal != 0) {
            write(device, EV_REL, REL_HWHEEL_HI_RES, -hiRes(wheel->horizontal));
            if (sideNotches != 0)
                write(device, EV_REL, REL_HWHEEL, -sideNotches);
        }
    } else {
        const auto& key = std::get<input::KeyChange>(event);
        device = m_keyboard.get();
        write(device, EV_KEY, keyFor(key), key.down ? 1 : 0);
    }
    write(device, EV_SYN, SYN_REPORT, 0);
}

} // namespace quillmote::uinput
