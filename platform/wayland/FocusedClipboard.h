// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/ClipboardOwner.h"

#include <functional>
#include <memory>

namespace quillmote::wayland {

// KWin hands Xwayland's clipboard to Wayland windows only while an X window has the focus: a
// Wayland window gets the text on the Wayland clipboard.
class FocusedClipboard : public input::ClipboardOwner
{
public:
    FocusedClipboard(std::unique_ptr<input::ClipboardOwner> x, std::unique_ptr<input::ClipboardOwner> wayland,
                     std::function<bool()> xWindowFocused);

    QString name() const override;
    void place(const QString& text, bool alsoPrimary, std::function<void(bool)> done) override;
    void placeClipboardInPrimary(std::function<void(bool)> done) override;
    bool reportsFetched() const override { return m_last->reportsFetched(); }
    bool fetchedUnseen() const override { return m_last->fetchedUnseen(); }

private:
    input::ClipboardOwner* focused() const;

    std::unique_ptr<input::ClipboardOwner> m_x;
    std::unique_ptr<input::ClipboardOwner> m_wayland;
    std::function<bool()> m_xWindowFocused;
    input::ClipboardOwner* m_last = m_x.get();
};

} // namespace quillmote::wayland
