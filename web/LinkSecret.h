// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QByteArray>
#include <QString>

namespace quillmote {
class Settings;
}

namespace quillmote::web {

// The secret in the link's fragment: 128 bits from the system's random source, kept as
// WebRemoteSecret (base64url) in the settings file, which only its owner may read. One found in
// a file of another user is not used: whoever put it there could pair with it.
class LinkSecret
{
public:
    static constexpr qsizetype bytes = 16;

    explicit LinkSecret(const Settings& settings);

    // The stored secret, or a newly drawn and stored one.
    const QByteArray& secret();
    // Draws and stores a new one: links with the old one stop pairing.
    void replace();
    // base64url without padding, as it appears in the link.
    QString text();

    // 16 random bytes.
    static QByteArray draw();
    // Whether `answer` (hex) is HMAC-SHA256(key = secret, message = challenge), compared in time
    // that does not depend on where they differ.
    static bool answers(const QByteArray& secret, QByteArrayView challenge, QByteArrayView answer);

private:
    const Settings& m_settings;
    QByteArray m_secret;
};

} // namespace quillmote::web
