// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

#include <functional>

namespace quillmote::input {

// Holds the text that a paste fetches.
class ClipboardOwner
{
public:
    virtual ~ClipboardOwner() = default;
    virtual QString name() const = 0;
    // Takes the clipboard, and with alsoPrimary the primary selection too, with the text; calls
    // done once with whether that worked, at once or later on the event loop (never after the
    // owner is gone).
    virtual void place(const QString& text, bool alsoPrimary, std::function<void(bool placed)> done) = 0;
    // For one paste by a chord that takes the primary selection (Shift+Insert in most
    // terminals): the primary selection holds what the clipboard holds, and is given back as
    // after place(). Calls done as place() does; false where the clipboard is empty or this
    // owner cannot read it.
    virtual void placeClipboardInPrimary(std::function<void(bool placed)> done) { done(false); }
    // Whether the handler below is called when an application fetched the text.
    virtual bool reportsFetched() const { return false; }
    // Whether applications fetch the text later without the owner seeing it (another process
    // serves it): input after the chord then waits the whole bounded time.
    virtual bool fetchedUnseen() const { return false; }
    void setFetchedHandler(std::function<void()> handler) { m_fetched = std::move(handler); }

protected:
    void notifyFetched()
    {
        if (m_fetched)
            m_fetched();
    }

private:
    std::function<void()> m_fetched;
};

} // namespace quillmote::input
