// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

namespace quillmote {

// The desktop of the session as $XDG_CURRENT_DESKTOP names it ("KDE", "ubuntu:GNOME"): read once
// by the app and handed to whatever adapts to it, so nothing below the app reads the environment.
struct Desktop
{
    QString name;
    bool isKde = false;
    bool isGnome = false;

    // KDE writes its name in capitals; GNOME's derivatives vary the case of theirs.
    static Desktop named(const QString& name)
    {
        return {name, name.contains(QLatin1String("KDE")),
                name.contains(QLatin1String("GNOME"), Qt::CaseInsensitive)};
    }
};

} // namespace quillmote
