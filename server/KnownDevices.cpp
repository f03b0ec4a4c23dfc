// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/KnownDevices.h"

#include "util/Console.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <algorithm>

namespace quillmote {

namespace {
using Key = Settings::Key;

QString plain(QHostAddress address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4)
        return QHostAddress(v4).toString();
    address.setScopeId({});
    return address.toString();
}

QList<Device> parsed(const QString& text)
{
    QList<Device> devices;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isArray()) {
        console::line(QStringLiteral("The stored list of devices could not be read; devices that paired "
                                     "before are asked about again."));
        return devices;
    }
    const QJsonArray entries = document.array();
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        Device device{
            .id = entry.value(QLatin1String("id")).toString(),
            .name = entry.value(QLatin1String("name")).toString(),
            .linkLayerAddress = entry.value(QLatin1String("linkLayerAddress")).toString(),
            .addresses = entry.value(QLatin1String("addresses")).toVariant().toStringList(),
            .lastSeen = QDateTime::fromString(entry.value(QLatin1String("lastSeen")).toString(), Qt::ISODate),
            .key = QByteArray::fromBase64(entry.value(QLatin1String("key")).toString().toLatin1()),
        };
        if (!device.id.isEmpty() && devices.size() < KnownDevices::maxDevices)
            devices << device;
    }
    return devices;
}
} // namespace

KnownDevices::KnownDevices(const Settings& settings)
    : m_settings(settings), m_asks(settings.flag(Key::AskBeforeNewDevice, true))
{
    if (const std::optional<QString> stored = settings.text(Key::Devices))
        m_devices = parsed(*stored);
}

QString KnownDevices::idFor(const QString& linkLayerAddress, const QHostAddress& address)
{
    return linkLayerAddress.isEmpty() ? plain(address) : linkLayerAddress;
}

const Device* KnownDevices::find(const QString& id) const
{
    const auto it =
        std::find_if(m_devices.begin(), m_devices.end(), [&](const Device& d) { return d.id == id; });
    return it == m_devices.end() ? nullptr : &*it;
}

void KnownDevices::remember(const QString& name, const QString& linkLayerAddress, const QHostAddress& address)
{
    const QString id = idFor(linkLayerAddress, address);
    const auto it =
        std::find_if(m_devices.begin(), m_devices.end(), [&](const Device& d) { return d.id == id; });
    if (it == m_devices.end())
        add({.id = id,
             .name = name,
             .linkLayerAddress = linkLayerAddress,
             .addresses = {},
             .lastSeen = {},
             .key = {}});
    else if (!name.isEmpty())
        it->name = name;
    seen(id, address);
}

QString KnownDevices::addBrowser(const QString& name, const QHostAddress& address, const QByteArray& key)
{
    QByteArray id(8, Qt::Uninitialized);
    for (char& byte : id)
        byte = static_cast<char>(QRandomGenerator::system()->bounded(256));
    add({.id = QString::fromLatin1(id.toHex()),
         .name = name,
         .linkLayerAddress = {},
         .addresses = {},
         .lastSeen = {},
         .key = key});
    seen(m_devices.constLast().id, address);
    return m_devices.constLast().id;
}

void KnownDevices::add(Device device)
{
    if (m_devices.size() >= maxDevices)
        m_devices.erase(
            std::min_element(m_devices.begin(), m_devices.end(),
                             [](const Device& a, const Device& b) { return a.lastSeen < b.lastSeen; }));
    m_devices << std::move(device);
}

void KnownDevices::seen(const QString& id, const QHostAddress& address)
{
    const auto it =
        std::find_if(m_devices.begin(), m_devices.end(), [&](const Device& d) { return d.id == id; });
    if (it == m_devices.end())
        return;
    it->addresses.removeAll(plain(address));
    it->addresses.prepend(plain(address));
    while (it->addresses.size() > maxAddresses)
        it->addresses.removeLast();
    it->lastSeen = QDateTime::currentDateTimeUtc();
    save();
    Q_EMIT changed();
}

void KnownDevices::removeBrowsers()
{
    QStringList browsers;
    for (const Device& device : std::as_const(m_devices))
        if (!device.key.isEmpty())
            browsers << device.id;
    for (const QString& id : browsers)
        remove(id);
}

bool KnownDevices::remove(const QString& id)
{
    if (m_devices.removeIf([&](const Device& d) { return d.id == id; }) == 0)
        return false;
    save();
    Q_EMIT removed(id);
    Q_EMIT changed();
    return true;
}

void KnownDevices::setAsksAboutNewDevices(bool asks)
{
    if (asks == m_asks)
        return;
    m_asks = asks;
    m_settings.write(Key::AskBeforeNewDevice, asks);
    Q_EMIT changed();
}

void KnownDevices::save() const
{
    QJsonArray entries;
    for (const Device& device : m_devices)
        entries << QJsonObject{
            {QStringLiteral("id"), device.id},
            {QStringLiteral("name"), device.name},
            {QStringLiteral("linkLayerAddress"), device.linkLayerAddress},
            {QStringLiteral("addresses"), QJsonArray::fromStringList(device.addresses)},
            {QStringLiteral("lastSeen"), device.lastSeen.toString(Qt::ISODate)},
            {QStringLiteral("key"), QString::fromLatin1(device.key.toBase64())},
        };
    m_settings.write(Key::Devices, QString::fromUtf8(QJsonDocument(entries).toJson(QJsonDocument::Compact)));
}

} // namespace quillmote
