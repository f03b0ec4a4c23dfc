// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/InputController.h"

#include <QString>

#include <chrono>
#include <iterator>
#include <linux/input-event-codes.h>
#include <vector>

namespace quillmote::test {

using TestClock = std::chrono::steady_clock;

// Keeps what the controller posts, as structured events, and when, over a desktop the test describes.
class TestSink : public input::EventSink
{
public:
    QString name() const override { return QStringLiteral("test"); }
    std::optional<input::Point> pointerLocation() override { return pointer; }
    std::optional<std::vector<input::Rect>> activeDisplays() override { return displays; }
    void post(const input::Event& event) override
    {
        events.push_back(event);
        times.push_back(TestClock::now());
        if (const auto* motion = std::get_if<input::PointerMotion>(&event))
            pointer = motion->to;
    }
    bool isReady() const override { return ready; }
    int keysApartMs() const override { return apartMs; }
    bool keysPending() const override { return pending; }
    // As when the calls a sink queued were answered.
    void finishSending()
    {
        pending = false;
        notifySent();
    }
    // As when the backend's asynchronous set-up answered.
    void becomeReady()
    {
        ready = true;
        notifyReady();
    }

    bool ready = true;
    int apartMs = 0;
    bool pending = false;
    std::optional<input::Point> pointer = input::Point{100.0, 100.0};
    std::optional<std::vector<input::Rect>> displays = std::vector<input::Rect>{{0, 0, 1000, 800}};
    std::vector<input::Event> events;
    std::vector<TestClock::time_point> times;
};

// Places the text in the same list of events, in order with the keys around it.
class TestClipboard : public input::ClipboardOwner
{
public:
    explicit TestClipboard(std::vector<input::Event>& events,
                           std::vector<TestClock::time_point>* times = nullptr)
        : m_events(events), m_times(times)
    {
    }
    QString name() const override { return QStringLiteral("test clipboard"); }
    void place(const QString& text, bool alsoPrimary, std::function<void(bool)> done) override
    {
        if (works)
            m_events.push_back(input::ClipboardText{text, alsoPrimary});
        if (works && m_times)
            m_times->push_back(TestClock::now());
        if (answersLater)
            pending = [done, ok = works] { done(ok); };
        else
            done(works);
    }
    // Marked in the events as a text of its own.
    void placeClipboardInPrimary(std::function<void(bool)> done) override
    {
        place(QStringLiteral("(the clipboard)"), true, std::move(done));
    }
    bool reportsFetched() const override { return reportsFetch; }
    // As when the application that received the paste chord asked for the text.
    void fetch() { notifyFetched(); }

    bool works = true;
    bool reportsFetch = false;
    bool answersLater = false;
    std::function<void()> pending;

private:
    std::vector<input::Event>& m_events;
    std::vector<TestClock::time_point>* m_times;
};

class TestWindowManager : public input::WindowManager
{
public:
    std::optional<QString> focusedWindowClass() override { return windowClass; }
    bool toggleShowDesktop() override { return false; }
    std::optional<QString> windowClass = QStringLiteral("mousepad");
};

// A controller over the test backend.
struct ControllerFixture
{
    // Without a keymap every text is pasted.
    explicit ControllerFixture(std::unique_ptr<input::Keymap> keymap = {})
        : controller(backend(std::move(keymap)))
    {
    }

    std::vector<input::Event>& events() { return sink->events; }

    TestSink* sink = nullptr;
    TestClipboard* clipboard = nullptr;
    TestWindowManager* windowManager = nullptr;
    input::InputController controller;

private:
    input::InputBackend backend(std::unique_ptr<input::Keymap> keymap)
    {
        input::InputBackend parts;
        parts.keymap = std::move(keymap);
        auto testSink = std::make_unique<TestSink>();
        sink = testSink.get();
        parts.sink = std::move(testSink);
        auto testClipboard = std::make_unique<TestClipboard>(sink->events, &sink->times);
        clipboard = testClipboard.get();
        parts.clipboard = std::move(testClipboard);
        auto testWindowManager = std::make_unique<TestWindowManager>();
        windowManager = testWindowManager.get();
        parts.windowManager = std::move(testWindowManager);
        return parts;
    }
};

// What pressKey posts for a key with modifiers: the modifiers down in a fixed order, the key
// down and up with them, the modifiers up in reverse.
inline std::vector<input::Event> keyStroke(std::uint16_t key, input::ModifierSet modifiers = 0)
{
    using input::KeyChange;
    constexpr std::pair<input::Modifier, std::uint16_t> held[] = {{input::Control, KEY_LEFTCTRL},
                                                                  {input::Shift, KEY_LEFTSHIFT},
                                                                  {input::Alt, KEY_LEFTALT},
                                                                  {input::Super, KEY_LEFTMETA}};
    std::vector<input::Event> events;
    for (const auto& [modifier, code] : held) {
        if (modifiers & modifier)
            events.push_back(KeyChange{code, true, 0});
    }
    events.push_back(KeyChange{key, true, modifiers});
    events.push_back(KeyChange{key, false, modifiers});
    for (auto it = std::rbegin(held); it != std::rend(held); ++it) {
        if (modifiers & it->first)
            events.push_back(KeyChange{it->second, false, 0});
    }
    return events;
}

} // namespace quillmote::test

// Found through argument-dependent lookup: sequences join with +, and print readably in QCOMPARE.
namespace quillmote::input {
inline std::vector<Event> operator+(std::vector<Event> a, const std::vector<Event>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
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
