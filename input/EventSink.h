// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/Events.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace quillmote::input {

// Where the controller's events become real input (or a record of it). Failures come back as
// empty results: the controller then skips what needed them, as with an event that cannot
// be created.
class EventSink
{
public:
    virtual ~EventSink() = default;

    // Whether the desktop lets this process post input: Awaiting while it asks the user,
    // Refused when the user said no or took it back.
    enum class Access { Granted, Awaiting, Refused, Unavailable };

    virtual QString name() const = 0;
    // Whether this process may post input events at all.
    virtual bool isTrusted() = 0;
    virtual Access access() { return isTrusted() ? Access::Granted : Access::Unavailable; }
    // Asks the desktop for access again where it can ask the user (the portal's dialog).
    virtual void requestAccess() {}
    // Pointer moves go out as relative motion: the pointer's position is neither known nor
    // needed, and the desktop keeps the pointer on its screens.
    virtual bool movesRelatively() const { return false; }
    // The pointer's current location in global coordinates; empty when it cannot be read.
    virtual std::optional<Point> pointerLocation() = 0;
    // The active displays' bounds; empty when they cannot be read.
    virtual std::optional<std::vector<Rect>> activeDisplays() = 0;
    virtual void post(const Event& event) = 0;
    // Replaces the clipboard's contents with plain text; false when that failed.
    virtual bool setClipboardText(const QString& text) = 0;
    // The clipboard and the primary selection both: terminals paste the one or the other.
    virtual bool setSelectionText(const QString& text) { return setClipboardText(text); }
    // WM_CLASS (or the like) of the window that has the keyboard focus; empty when unknown.
    virtual std::optional<QString> focusedWindowClass() { return std::nullopt; }
    // Whether this sink reports when an application fetched the text it placed, by calling
    // the handler below; then input after a paste waits for it.
    virtual bool reportsPasteFetched() const { return false; }
    // Asks the window manager to show the desktop, or the windows again; false when there is
    // no window manager that does this.
    virtual bool toggleShowDesktop() { return false; }
    void setPasteFetchedHandler(std::function<void()> handler) { m_pasteFetched = std::move(handler); }

protected:
    void notifyPasteFetched()
    {
        if (m_pasteFetched)
            m_pasteFetched();
    }

private:
    std::function<void()> m_pasteFetched;
};

// Posts nothing and is never trusted: for machines where input cannot be injected.
class NoneSink : public EventSink
{
public:
    QString name() const override { return QStringLiteral("none"); }
    bool isTrusted() override { return false; }
    std::optional<Point> pointerLocation() override { return std::nullopt; }
    std::optional<std::vector<Rect>> activeDisplays() override { return std::nullopt; }
    void post(const Event&) override {}
    bool setClipboardText(const QString&) override { return false; }
};

} // namespace quillmote::input
