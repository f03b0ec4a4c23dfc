// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

#include <functional>

namespace quillmote::input {

// Holds the text a paste will fetch, for sinks that cannot own the clipboard themselves.
class ClipboardOwner
{
public:
    virtual ~ClipboardOwner() = default;
    virtual QString name() const = 0;
    // The clipboard, and with alsoPrimary the primary selection too; false when that failed.
    virtual bool setText(const QString& text, bool alsoPrimary) = 0;
    // Whether the handler below is called when an application fetched the text.
    virtual bool reportsFetched() const { return false; }
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
