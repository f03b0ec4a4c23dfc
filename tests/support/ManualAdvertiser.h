// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "server/ServiceAdvertiser.h"

namespace quillmote::test {

// An advertiser whose outcome the test decides; the real Avahi one is exercised against a
// real avahi-daemon by the namespace tests.
class ManualAdvertiser : public ServiceAdvertiser
{
    Q_OBJECT
public:
    void advertise(const QString&, const QString& type, quint16 port) override
    {
        advertisedType = type;
        advertisedPort = port;
    }
    QString advertisedType;
    quint16 advertisedPort = 0;
};

} // namespace quillmote::test
