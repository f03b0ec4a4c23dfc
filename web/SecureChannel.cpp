// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "web/SecureChannel.h"

#include <sodium.h>

#include <cstring>

namespace quillmote::web {

namespace {
using Nonce = std::array<unsigned char, crypto_aead_chacha20poly1305_IETF_NPUBBYTES>;

// Four zero bytes, then the message's number, little-endian.
Nonce nonceFor(quint64 number)
{
    Nonce nonce{};
    for (std::size_t i = 0; i < 8; ++i)
        nonce[4 + i] = static_cast<unsigned char>(number >> (8 * i));
    return nonce;
}

const unsigned char* bytes(QByteArrayView view)
{
    return reinterpret_cast<const unsigned char*>(view.data());
}
} // namespace

QByteArray SecureChannel::hmacSha256(QByteArrayView key, QByteArrayView message)
{
    QByteArray mac(crypto_auth_hmacsha256_BYTES, Qt::Uninitialized);
    crypto_auth_hmacsha256_state state;
    crypto_auth_hmacsha256_init(&state, bytes(key), static_cast<size_t>(key.size()));
    crypto_auth_hmacsha256_update(&state, bytes(message), static_cast<unsigned long long>(message.size()));
    crypto_auth_hmacsha256_final(&state, reinterpret_cast<unsigned char*>(mac.data()));
    sodium_memzero(&state, sizeof state);
    return mac;
}

SecureChannel::SecureChannel(QByteArrayView key, QByteArrayView challenge, QByteArrayView clientNonce)
{
    // sodium_init only makes its random source and CPU checks ready; calling it again is harmless.
    if (sodium_init() < 0)
        qFatal("libsodium could not be initialised");
    const QByteArray material = QByteArray::fromHex(challenge.toByteArray()) + clientNonce.toByteArray();
    const QByteArray up = hmacSha256(key, QByteArrayLiteral("quillmote up") + material);
    const QByteArray down = hmacSha256(key, QByteArrayLiteral("quillmote down") + material);
    std::memcpy(m_up.data(), up.constData(), m_up.size());
    std::memcpy(m_down.data(), down.constData(), m_down.size());
}

SecureChannel::~SecureChannel()
{
    sodium_memzero(m_up.data(), m_up.size());
    sodium_memzero(m_down.data(), m_down.size());
}

qsizetype SecureChannel::bucket(qsizetype size)
{
    qsizetype bucket = 32;
    while (bucket < size && bucket < 4096)
        bucket *= 2;
    return size <= bucket ? bucket : (size + 4095) / 4096 * 4096;
}

QByteArray SecureChannel::seal(QByteArrayView plaintext)
{
    QByteArray padded = plaintext.toByteArray();
    padded.resize(bucket(plaintext.size()), '\0');
    QByteArray sealed(padded.size() + tagBytes, Qt::Uninitialized);
    const Nonce nonce = nonceFor(m_sent++);
    unsigned long long length = 0;
    crypto_aead_chacha20poly1305_ietf_encrypt(reinterpret_cast<unsigned char*>(sealed.data()), &length,
                                              bytes(padded), static_cast<unsigned long long>(padded.size()),
                                              nullptr, 0, nullptr, nonce.data(), m_down.data());
    return sealed;
}

std::optional<QByteArray> SecureChannel::open(QByteArrayView sealed)
{
    if (sealed.size() < tagBytes)
        return std::nullopt;
    QByteArray plain(sealed.size() - tagBytes, Qt::Uninitialized);
    const Nonce nonce = nonceFor(m_received);
    unsigned long long length = 0;
    if (crypto_aead_chacha20poly1305_ietf_decrypt(
            reinterpret_cast<unsigned char*>(plain.data()), &length, nullptr, bytes(sealed),
            static_cast<unsigned long long>(sealed.size()), nullptr, 0, nonce.data(), m_up.data()) != 0)
        return std::nullopt;
    ++m_received;
    // Commands never hold a NUL: what follows the first is padding.
    const qsizetype end = plain.indexOf('\0');
    if (end >= 0)
        plain.truncate(end);
    return plain;
}

} // namespace quillmote::web
