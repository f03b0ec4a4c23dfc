// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Events.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace quillmote::input {

// Where the controller's events become real input (or a record of it), and the geometry the
// controller needs for them. Failures come back as empty results: the controller then skips
// what needed them, as with an event that cannot be created.
class EventSink
{
public:
    virtual ~EventSink() = default;

    virtual QString name() const = 0;
    // Pointer moves go out as relative motion: the pointer's position is neither known nor
    // needed, and the desktop keeps the pointer on its screens.
    virtual bool movesRelatively() const { return false; }
    // The pointer's current location in global coordinates; empty when it cannot be read.
    virtual std::optional<Point> pointerLocation() = 0;
    // The same, asked of the desktop now where pointerLocation() may answer from memory: for a
    // move about to be clamped, which must not be clamped against where the pointer was before
    // another client warped it.
    virtual std::optional<Point> currentPointerLocation() { return pointerLocation(); }
    // The active displays' bounds; empty when they cannot be read.
    virtual std::optional<std::vector<Rect>> activeDisplays() = 0;
    virtual void post(const Event& event) = 0;
    // Events in order as one batch (a typed text, a chord): a sink may send them in one write.
    virtual void postAll(const std::vector<Event>& events)
    {
        for (const Event& event : events)
            post(event);
    }

    // How far apart the controller keeps keys of different kinds (input::KeyPacer), where the
    // sink does not do so itself; 0 for not at all.
    virtual int keysApartMs() const { return 0; }
    // Whether events given to the sink have yet to go out (calls not answered yet): keys are
    // kept apart from when they have, which the sink tells through the sent handler.
    virtual bool keysPending() const { return false; }
    void setSentHandler(std::function<void()> handler) { m_sent = std::move(handler); }

    // This program is raising the desktop's screen shield itself (the phone's screen saver): what
    // the desktop ends right after is the shield's doing, whenever the desktop gets to saying so.
    virtual void shieldComing() {}

    // A sink still waiting for an answer (a backend probed over D-Bus) is not ready; input waits
    // for it in order, and the handler is called once it is.
    virtual bool isReady() const { return true; }
    void setReadyHandler(std::function<void()> handler) { m_ready = std::move(handler); }

protected:
    void notifyReady()
    {
        if (m_ready)
            m_ready();
    }
    void notifySent()
    {
        if (m_sent)
            m_sent();
    }

private:
    std::function<void()> m_ready;
    std::function<void()> m_sent;
};

// Posts nothing: for machines where input cannot be injected.
class NoneSink : public EventSink
{
public:
    QString name() const override { return QStringLiteral("none"); }
    std::optional<Point> pointerLocation() override { return std::nullopt; }
    std::optional<std::vector<Rect>> activeDisplays() override { return std::nullopt; }
    void post(const Event&) override {}
};

// Stands for the sink of a backend still being chosen (the portal is asked without waiting): never
// ready, so input waits in order until the controller is given the chosen backend.
class PendingSink : public NoneSink
{
public:
    QString name() const override { return QStringLiteral("(choosing)"); }
    bool isReady() const override { return false; }
};

} // namespace quillmote::input
