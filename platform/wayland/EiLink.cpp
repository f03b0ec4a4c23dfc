// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
// Built where libei is found: the portal's session posts its input through a libei sender.
#include "platform/wayland/EisLink.h"

#include "input/KeyTable.h"
#include "input/PointerState.h"
#include "util/Log.h"
#include "util/Overloaded.h"

#include <QSocketNotifier>

#include <libei.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace quillmote::wayland {

namespace {
// libei counts a wheel notch as 120.
constexpr int discretePerNotch = 120;

struct EiDeleter
{
    void operator()(ei* context) const { ei_unref(context); }
};
struct SeatDeleter
{
    void operator()(ei_seat* seat) const { ei_seat_unref(seat); }
};
struct DeviceDeleter
{
    void operator()(ei_device* device) const { ei_device_unref(device); }
};
struct EventDeleter
{
    void operator()(ei_event* event) const { ei_event_unref(event); }
};
using Ei = std::unique_ptr<ei, EiDeleter>;
using Seat = std::unique_ptr<ei_seat, SeatDeleter>;
using Device = std::unique_ptr<ei_device, DeviceDeleter>;
using Event = std::unique_ptr<ei_event, EventDeleter>;

class EiLink : public EisLink
{
public:
    EiLink(Ei context, std::shared_ptr<LearnedLayout> layout, EisEvents events)
        : m_ei(std::move(context)), m_layout(std::move(layout)), m_events(std::move(events)),
          m_notifier(std::make_unique<QSocketNotifier>(ei_get_fd(m_ei.get()), QSocketNotifier::Read))
    {
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                         [this] { dispatch(); });
    }

    bool post(const input::Event& event) override;

private:
    struct Emulated
    {
        Device device;
        bool emulating = false;
    };

    void dispatch();
    void handle(ei_event* event);
    // An added device that has the capability and takes events now.
    ei_device* deviceWith(ei_device_capability capability) const;
    void frame(ei_device* device) { ei_device_frame(device, ei_now(m_ei.get())); }
    std::uint16_t keyFor(std::uint16_t key, bool down, std::optional<std::uint32_t> keysym);

    // Released last: seats and devices hold on to the context.
    Ei m_ei;
    std::shared_ptr<LearnedLayout> m_layout;
    EisEvents m_events;
    std::vector<Seat> m_seats;
    std::vector<Emulated> m_devices;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::uint32_t m_sequence = 0;
    input::WheelSteps m_wheelVertical;
    input::WheelSteps m_wheelHorizontal;
    // The key each held key went down as, so that its release goes to the same one.
    input::PressedKeys m_pressedAs;
};

void EiLink::dispatch()
{
    ei_dispatch(m_ei.get());
    while (Event event{ei_get_event(m_ei.get())}) {
        handle(event.get());
        if (!m_notifier->isEnabled())
            return; // disconnected: nothing more comes, and the owner may be deleting this link
    }
}

void EiLink::handle(ei_event* event)
{
    ei_device* device = ei_event_get_device(event);
    const auto emulated = std::find_if(m_devices.begin(), m_devices.end(), [device](const Emulated& known) {
        return known.device.get() == device;
    });
    switch (ei_event_get_type(event)) {
    case EI_EVENT_SEAT_ADDED: {
        ei_seat* seat = ei_event_get_seat(event);
        ei_seat_bind_capabilities(seat, EI_DEVICE_CAP_POINTER, EI_DEVICE_CAP_BUTTON, EI_DEVICE_CAP_SCROLL,
                                  EI_DEVICE_CAP_KEYBOARD, nullptr);
        m_seats.emplace_back(ei_seat_ref(seat));
        break;
    }
    case EI_EVENT_SEAT_REMOVED: {
        ei_seat* seat = ei_event_get_seat(event);
        std::erase_if(m_seats, [seat](const Seat& known) { return known.get() == seat; });
        break;
    }
    case EI_EVENT_DEVICE_ADDED:
        qCDebug(lcInput) << "libei device added:" << ei_device_get_name(device);
        m_devices.push_back({Device(ei_device_ref(device)), false});
        if (ei_keymap* keymap = ei_device_keyboard_get_keymap(device);
            keymap && ei_keymap_get_type(keymap) == EI_KEYMAP_TYPE_XKB) {
            m_layout->layout = XkbLayout::fromFd(ei_keymap_get_fd(keymap), ei_keymap_get_size(keymap));
            qCDebug(lcInput) << "libei keymap" << (m_layout->layout ? "read" : "not readable");
        }
        break;
    case EI_EVENT_DEVICE_REMOVED:
        if (emulated != m_devices.end())
            m_devices.erase(emulated);
        break;
    case EI_EVENT_DEVICE_RESUMED:
        qCDebug(lcInput) << "libei device resumed:" << ei_device_get_name(device);
        if (emulated != m_devices.end()) {
            ei_device_start_emulating(device, ++m_sequence);
            emulated->emulating = true;
        }
        if (m_events.ready && deviceWith(EI_DEVICE_CAP_POINTER) && deviceWith(EI_DEVICE_CAP_BUTTON) &&
            deviceWith(EI_DEVICE_CAP_SCROLL) && deviceWith(EI_DEVICE_CAP_KEYBOARD))
            std::exchange(m_events.ready, {})();
        break;
    case EI_EVENT_DEVICE_PAUSED:
        // The server stopped taking its events; they go another way until it resumes.
        qCDebug(lcInput) << "libei device paused:" << ei_device_get_name(device);
        if (emulated != m_devices.end())
            emulated->emulating = false;
        break;
    case EI_EVENT_KEYBOARD_MODIFIERS:
        if (m_layout->layout)
            m_layout->layout->setGroup(ei_event_keyboard_get_xkb_group(event));
        break;
    case EI_EVENT_DISCONNECT:
        m_notifier->setEnabled(false);
        m_devices.clear();
        m_events.lost(QStringLiteral("the desktop ended it"));
        break;
    default:
        break;
    }
}

ei_device* EiLink::deviceWith(ei_device_capability capability) const
{
    const auto found = std::find_if(m_devices.begin(), m_devices.end(), [capability](const Emulated& known) {
        return known.emulating && ei_device_has_capability(known.device.get(), capability);
    });
    return found == m_devices.end() ? nullptr : found->device.get();
}

std::uint16_t EiLink::keyFor(std::uint16_t key, bool down, std::optional<std::uint32_t> keysym)
{
    if (!down)
        return m_pressedAs.release(key);
    // A keysym is looked for in the desktop's own keymap; its key table code where it has none.
    if (!keysym || !m_layout->layout)
        return key;
    return m_pressedAs.press(key, m_layout->layout->keyFor(*keysym).value_or(key));
}

bool EiLink::post(const input::Event& event)
{
    const auto sendKey = [this](std::uint16_t key, bool down, std::optional<std::uint32_t> keysym) {
        ei_device* keyboard = deviceWith(EI_DEVICE_CAP_KEYBOARD);
        if (!keyboard)
            return false;
        ei_device_keyboard_key(keyboard, keyFor(key, down, keysym), down);
        frame(keyboard);
        return true;
    };
    return std::visit(
        Overloaded{
            [this](const input::PointerMotion& motion) {
                ei_device* pointer = deviceWith(EI_DEVICE_CAP_POINTER);
                if (!pointer)
                    return false;
                if (motion.dx != 0 || motion.dy != 0) {
                    ei_device_pointer_motion(pointer, motion.dx, motion.dy);
                    frame(pointer);
                }
                return true;
            },
            [this](const input::ButtonChange& change) {
                ei_device* pointer = deviceWith(EI_DEVICE_CAP_BUTTON);
                if (!pointer)
                    return false;
                ei_device_button_button(pointer, input::evdevCode(change.button), change.down);
                frame(pointer);
                return true;
            },
            [this](const input::WheelScroll& wheel) {
                ei_device* pointer = deviceWith(EI_DEVICE_CAP_SCROLL);
                if (!pointer)
                    return false;
                // Whole notches, as the portal's calls send them; ours are positive up and left,
                // libei's down and right.
                const int down = -m_wheelVertical.take(wheel.vertical);
                const int right = -m_wheelHorizontal.take(wheel.horizontal);
                if (down != 0 || right != 0) {
                    ei_device_scroll_discrete(pointer, right * discretePerNotch, down * discretePerNotch);
                    frame(pointer);
                }
                return true;
            },
            // Shortcut letters and media keys by keysym, so that Control+V is V in the user's layout.
            [&](const input::KeyChange& key) {
                return sendKey(key.key, key.down, input::shortcutKeysym(key));
            },
            [&](const input::MediaKey& media) {
                return sendKey(media.key, media.down, input::keysymOf(media.key));
            },
            // Pasted text goes through the clipboard owner.
            [](const input::ClipboardText&) { return true; },
        },
        event);
}
} // namespace

EisConnector eisConnector()
{
    return [](UniqueFd fd, std::shared_ptr<LearnedLayout> layout, EisEvents events,
              QString* error) -> std::unique_ptr<EisLink> {
        Ei context(ei_new_sender(nullptr));
        if (!context) {
            *error = QStringLiteral("libei cannot make a sender");
            return nullptr;
        }
        ei_configure_name(context.get(), "Quillmote");
        // libei owns the descriptor from here on and closes it with the context.
        if (const int failed = ei_setup_backend_fd(context.get(), fd.release()); failed < 0) {
            *error = QStringLiteral("libei cannot use the connection: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(-failed)));
            return nullptr;
        }
        return std::make_unique<EiLink>(std::move(context), std::move(layout), std::move(events));
    };
}

} // namespace quillmote::wayland
