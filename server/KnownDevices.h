// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "util/Settings.h"

#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace quillmote {

// A device that paired: a phone that sent the code, known by its link-layer address where the
// kernel knows one, else by its address; or a browser that paired with the link, known by the
// key of its own it was given then.
struct Device
{
    QString id;
    QString name;
    QString linkLayerAddress; // empty when none could be learned
    QStringList addresses;    // the latest first
    QDateTime lastSeen;       // UTC
    QByteArray key;           // a browser's; empty for a phone
};

// The devices the user let pair, and whether a new one is asked about; kept in the settings.
class KnownDevices : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype maxDevices = 64;  // beyond it the longest unseen is dropped
    static constexpr qsizetype maxAddresses = 4; // per device

    explicit KnownDevices(const Settings& settings);

    const QList<Device>& devices() const { return m_devices; }
    static QString idFor(const QString& linkLayerAddress, const QHostAddress& address);
    const Device* find(const QString& id) const;
    // Adds the device, or notes that it was seen now and where.
    void remember(const QString& name, const QString& linkLayerAddress, const QHostAddress& address);
    // A browser that paired with the link, under a new id, with its key.
    QString addBrowser(const QString& name, const QHostAddress& address, const QByteArray& key);
    // Notes that the device was seen now, there.
    void seen(const QString& id, const QHostAddress& address);
    // False when no such device is known.
    bool remove(const QString& id);
    // Every browser: a new link means that none of them may pair without it.
    void removeBrowsers();

    bool asksAboutNewDevices() const { return m_asks; }
    void setAsksAboutNewDevices(bool asks);

Q_SIGNALS:
    void changed();
    void removed(const QString& id);

private:
    // Makes room by dropping the device unseen the longest.
    void add(Device device);
    void save() const;

    const Settings& m_settings;
    QList<Device> m_devices;
    bool m_asks = true;
};

} // namespace quillmote
