// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/EventSink.h"

#include <QObject>

#include <memory>

namespace quillmote::input {

// Stands for a sink that is chosen later, once a backend has answered a question that must not
// be waited for (is there a RemoteDesktop portal?). Not ready until then, so input waits in order;
// afterwards everything goes to the chosen sink. Doubles as the context of that question: once
// this is gone, its answer is dropped.
class DeferredSink : public QObject, public EventSink
{
    Q_OBJECT
public:
    QString name() const override { return m_chosen ? m_chosen->name() : QStringLiteral("(choosing)"); }
    bool movesRelatively() const override { return m_chosen && m_chosen->movesRelatively(); }
    std::optional<Point> pointerLocation() override
    {
        return m_chosen ? m_chosen->pointerLocation() : std::nullopt;
    }
    std::optional<std::vector<Rect>> activeDisplays() override
    {
        return m_chosen ? m_chosen->activeDisplays() : std::nullopt;
    }
    void post(const Event& event) override
    {
        if (m_chosen)
            m_chosen->post(event);
    }
    void postAll(const std::vector<Event>& events) override
    {
        if (m_chosen)
            m_chosen->postAll(events);
    }
    bool isReady() const override { return m_chosen != nullptr; }

    void choose(std::unique_ptr<EventSink> sink)
    {
        m_chosen = std::move(sink);
        notifyReady();
    }

private:
    std::unique_ptr<EventSink> m_chosen;
};

} // namespace quillmote::input
