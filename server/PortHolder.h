// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

#include <optional>

#include <sys/types.h>

namespace quillmote {

// Who listens on a TCP port of this computer, as the kernel tells (/proc/net/tcp and tcp6).
struct PortHolder
{
    // Empty when no listener on the port is found, or the kernel does not tell.
    std::optional<uid_t> uid;

    static PortHolder of(quint16 port, const QString& procNet = QStringLiteral("/proc/net"));
    // Whether someone other than this process's user may hold it: then whatever phones send to
    // the usual port (a code, a link's answer) may be theirs. An unknown holder counts as one.
    bool mayBeAnotherUser() const;
    // The holder's login name (or its uid as digits); empty when unknown.
    QString userName() const;
    // "user NAME" (or "uid N"), or "another program" when unknown.
    QString describe() const;
};

} // namespace quillmote
