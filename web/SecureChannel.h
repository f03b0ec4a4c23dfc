// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <optional>

namespace quillmote::web {

// The encrypted channel of a page that paired with a key (the link's secret or its device key):
// ChaCha20-Poly1305 (libsodium) in each direction with a key of its own, derived from the shared
// key and both sides' fresh nonces, and the message's number in that direction as the nonce. The
// number is never sent: a replayed, dropped, reordered or altered message fails to open.
// Plaintexts are padded to buckets, so that a message's length tells little of what was typed.
class SecureChannel
{
public:
    static constexpr qsizetype clientNonceBytes = 16;
    static constexpr qsizetype tagBytes = 16;

    // `challenge` as sent (hex), `clientNonce` as the page drew it.
    SecureChannel(QByteArrayView key, QByteArrayView challenge, QByteArrayView clientNonce);
    ~SecureChannel();
    SecureChannel(const SecureChannel&) = delete;
    SecureChannel& operator=(const SecureChannel&) = delete;

    // The next message to the page.
    QByteArray seal(QByteArrayView plaintext);
    // The next message from the page, without its padding; nothing when it is not that message.
    std::optional<QByteArray> open(QByteArrayView sealed);

    // 32, 64, … 4096 bytes, then multiples of 4096.
    static qsizetype bucket(qsizetype size);
    static QByteArray hmacSha256(QByteArrayView key, QByteArrayView message);

private:
    std::array<unsigned char, 32> m_up{};
    std::array<unsigned char, 32> m_down{};
    quint64 m_sent = 0;
    quint64 m_received = 0;
};

} // namespace quillmote::web
