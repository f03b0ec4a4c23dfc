// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/EventSink.h"

#include <QStringList>

#include <iterator>
#include <utility>

namespace quillmote::test {

// Keeps what the controller posts, as structured events, over a desktop the test describes.
class TestSink : public input::EventSink
{
public:
    QString name() const override { return QStringLiteral("test"); }
    bool isTrusted() override { return trusted; }
    Access access() override { return accessState.value_or(EventSink::access()); }
    void requestAccess() override { ++accessRequests; }
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
        if (!clipboardWorks)
            return false;
        clipboard << text;
        return true;
    }
    bool reportsPasteFetched() const override { return reportsFetch; }
    bool setSelectionText(const QString& text) override
    {
        primary << text;
        return setClipboardText(text);
    }
    std::optional<QString> focusedWindowClass() override { return windowClass; }
    // As when the application that received the paste chord asked for the text.
    void fetchPaste() { notifyPasteFetched(); }

    bool trusted = true;
    std::optional<Access> accessState;
    int accessRequests = 0;
    bool clipboardWorks = true;
    bool reportsFetch = false;
    std::optional<QString> windowClass;
    QStringList primary;
    std::optional<input::Point> pointer = input::Point{100.0, 100.0};
    std::optional<std::vector<input::Rect>> displays = std::vector<input::Rect>{{0, 0, 1000, 800}};
    std::vector<input::Event> events;
    QStringList clipboard;
};

// What pressKey posts for a key with modifier flags: the modifiers down in a fixed order, the
// key down and up with the flags, the modifiers up in reverse.
inline std::vector<input::Event> keyStroke(std::uint16_t code, std::uint64_t flags = 0)
{
    using input::KeyEvent;
    constexpr std::pair<std::uint64_t, std::uint16_t> modifiers[] = {
        {input::flagCommand, 55}, {input::flagShift, 56}, {input::flagOption, 58}, {input::flagControl, 59}};
    std::vector<input::Event> events;
    for (const auto& [mask, key] : modifiers) {
        if (flags & mask)
            events.push_back(KeyEvent{key, true, 0});
    }
    events.push_back(KeyEvent{code, true, flags});
    events.push_back(KeyEvent{code, false, flags});
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) {
        if (flags & it->first)
            events.push_back(KeyEvent{it->second, false, 0});
    }
    return events;
}

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
