// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace quillmote {

// Publishes one DNS-SD service for a listener and keeps it published: across name conflicts
// (by renaming) and across restarts of the DNS-SD daemon. Reports on the event loop.
class ServiceAdvertiser : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts publishing instance `name` of `type` in the default domain, without TXT data.
    virtual void advertise(const QString& name, const QString& type, quint16 port) = 0;

Q_SIGNALS:
    // The service is registered, under `name` (which differs from the asked one after a conflict).
    void established(const QString& name);
    // The daemon cannot be reached now; publishing resumes by itself when it comes back.
    void unreachable(const QString& reason);
    // Publishing failed for good (never for a name that is taken: another one is tried).
    void failed(const QString& reason);
    // Another service of the type is advertised under the name we asked for (at `where`,
    // "address:port"): phones may take it for this computer. Gone when it is no longer seen.
    void impostorSeen(const QString& name, const QString& where);
    void impostorGone(const QString& name);
};

// Makes the advertiser of one listener; returns null when DNS-SD cannot be used at all.
using AdvertiserFactory = std::function<std::unique_ptr<ServiceAdvertiser>()>;

} // namespace quillmote
