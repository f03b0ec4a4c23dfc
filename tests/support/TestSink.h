// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/EventSink.h"

#include <QStringList>

namespace quillmote::test {

// Keeps what the controller posts, as structured events, over a desktop the test describes.
class TestSink : public input::EventSink
{
public:
    QString name() const override { return QStringLiteral("test"); }
    bool isTrusted() override { return trusted; }
    std::optional<input::Point> pointerLocation() override { return pointer; }
    std::optional<std::vector<input::Rect>> activeDisplays() override { return displays; }
    void post(const input::Event& event) override
    {
        events.push_back(event);
        if (const auto* mouse = std::get_if<input::MouseEvent>(&event))
            pointer = mouse->location;
    }
    bool setClipboardText(const QString& text) override
    {
        clipboard << text;
        return true;
    }

    bool trusted = true;
    std::optional<input::Point> pointer = input::Point{100.0, 100.0};
    std::optional<std::vector<input::Rect>> displays = std::vector<input::Rect>{{0, 0, 1000, 800}};
    std::vector<input::Event> events;
    QStringList clipboard;
};

} // namespace quillmote::test

// Found by QCOMPARE through argument-dependent lookup: events print readably when they differ.
namespace quillmote::input {
inline char* toString(const Event& event)
{
    return qstrdup(describe(event).c_str());
}
inline char* toString(const std::vector<Event>& events)
{
    std::string text = "[";
    for (const auto& e : events)
        text += "\n  " + describe(e);
    return qstrdup((text + "\n]").c_str());
}
} // namespace quillmote::input
