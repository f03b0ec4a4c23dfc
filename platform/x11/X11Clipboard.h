// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/ClipboardOwner.h"
#include "platform/x11/X11Connection.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

namespace quillmote::x11 {

// Owns the CLIPBOARD selection (and PRIMARY when asked) on our own X connection and hands its
// text to whoever asks. Done here rather than through the GUI toolkit's clipboard, whose X
// connection ends the process when the X server goes away. On Xwayland, GNOME and KDE hand it on
// to Wayland clients.
class X11Clipboard : public QObject, public input::ClipboardOwner
{
    Q_OBJECT
public:
    explicit X11Clipboard(std::shared_ptr<X11Connection> connection);
    ~X11Clipboard() override;

    QString name() const override { return QStringLiteral("X clipboard"); }
    void place(const QString& text, bool alsoPrimary, std::function<void(bool)> done) override;
    // Reports each fetch of the text itself (not merely of the list of targets).
    bool reportsFetched() const override { return true; }

private:
    void setUp();
    void onEvent(_XEvent* event);
    void answer(_XEvent* request);

    std::shared_ptr<X11Connection> m_connection;
    // Xlib's Window and Atom.
    unsigned long m_window = 0;
    unsigned long m_clipboard = 0, m_targets = 0, m_utf8 = 0, m_text = 0, m_plainUtf8 = 0;
    QByteArray m_utf8Text;
    bool m_owned = false;
    bool m_primaryOwned = false;
};

} // namespace quillmote::x11
