// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/EventSink.h"
#include "input/PointerState.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Pointer.h"

#include <QObject>

#include <memory>

namespace quillmote::x11 {

// Real input on the display through XTest, with the active RandR monitors as the displays.
// Posts nothing while the display is lost.
class X11Poster : public QObject, public input::EventSink
{
    Q_OBJECT
public:
    explicit X11Poster(std::shared_ptr<X11Connection> connection);

    QString name() const override { return QStringLiteral("x11"); }
    std::optional<input::Point> pointerLocation() override { return m_pointer.location(); }
    std::optional<input::Point> currentPointerLocation() override { return m_pointer.location(true); }
    std::optional<std::vector<input::Rect>> activeDisplays() override;
    void post(const input::Event& event) override;
    void postAll(const std::vector<input::Event>& events) override;

private:
    // Queues the event in Xlib's buffer; false when it is not one this poster sends.
    bool write(_XDisplay* display, const input::Event& event);
    void setUp();
    void onEvent(_XEvent* event);
    static void postKey(_XDisplay* display, std::uint16_t key, bool down, bool byPlace);
    static void postWheel(_XDisplay* display, input::WheelSteps& steps, std::int32_t pixels,
                          unsigned positiveButton, unsigned negativeButton);

    std::shared_ptr<X11Connection> m_connection;
    X11Pointer m_pointer;
    int m_randrEventBase = -1;
    input::MonitorCache m_monitors;
    input::WheelSteps m_wheelVertical;
    input::WheelSteps m_wheelHorizontal;
};

} // namespace quillmote::x11
