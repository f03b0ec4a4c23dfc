// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "input/Terminals.h"

#include <QString>

namespace quillmote::input {

namespace {
// Instance or class names, in lower case; "name-…" variants (gnome-terminal-server,
// st-256color) count too.
constexpr QStringView terminals[] = {
    u"xterm",
    u"uxterm",
    u"xfce4-terminal",
    u"gnome-terminal",
    u"konsole",
    u"tilix",
    u"terminator",
    u"kitty",
    u"alacritty",
    u"org.wezfurlong.wezterm",
    u"wezterm",
    u"foot",
    u"footclient",
    u"urxvt",
    u"rxvt",
    u"qterminal",
    u"lxterminal",
    u"mate-terminal",
    u"sakura",
    u"st",
    u"terminology",
    u"guake",
    u"tilda",
    u"kgx",
    u"org.gnome.console",
    u"x-terminal-emulator",
    u"cool-retro-term",
    u"eterm",
    u"aterm",
};
} // namespace

bool isTerminalEmulator(QStringView windowClass)
{
    const QString name = windowClass.toString().toLower();
    for (const QStringView terminal : terminals) {
        if (name == terminal ||
            (name.startsWith(terminal) && name.size() > terminal.size() && name[terminal.size()] == u'-'))
            return true;
    }
    return false;
}

} // namespace quillmote::input
