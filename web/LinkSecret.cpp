// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "web/LinkSecret.h"

#include "util/Console.h"
#include "util/Settings.h"

#include <QMessageAuthenticationCode>

#include <sys/random.h>

namespace quillmote::web {

namespace {
constexpr auto base64url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;
}

LinkSecret::LinkSecret(const Settings& settings) : m_settings(settings) {}

QByteArray LinkSecret::draw()
{
    QByteArray out(bytes, Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < bytes) {
        const ssize_t n = ::getrandom(out.data() + filled, static_cast<size_t>(bytes - filled), 0);
        if (n > 0)
            filled += n; // else EINTR: getrandom blocks until the pool is ready
    }
    return out;
}

const QByteArray& LinkSecret::secret()
{
    if (!m_secret.isEmpty())
        return m_secret;
    const QString stored = m_settings.text(Settings::Key::WebRemoteSecret).value_or(QString());
    const auto decoded = QByteArray::fromBase64Encoding(stored.toLatin1(), base64url);
    if (decoded && decoded.decoded.size() == bytes) {
        m_secret = decoded.decoded;
        return m_secret;
    }
    if (!stored.isEmpty())
        console::line(QStringLiteral("Stored WebRemoteSecret is not 128 bits; a new link was drawn."));
    replace();
    return m_secret;
}

void LinkSecret::replace()
{
    m_secret = draw();
    // Not written to another user's file either: a secret found there is never read back.
    if (m_settings.write(Settings::Key::WebRemoteSecret, QString::fromLatin1(m_secret.toBase64(base64url))) !=
        Settings::Saved::Saved)
        console::line(
            QStringLiteral("Failed to save the browser remote's link to %1; it holds for this run only.")
                .arg(m_settings.path()));
}

QString LinkSecret::text()
{
    return QString::fromLatin1(secret().toBase64(base64url));
}

bool LinkSecret::answers(const QByteArray& secret, QByteArrayView challenge, QByteArrayView answer)
{
    const QByteArray expected =
        QMessageAuthenticationCode::hash(challenge.toByteArray(), secret, QCryptographicHash::Sha256).toHex();
    if (answer.size() != expected.size())
        return false;
    // Every byte is looked at whatever the first difference, so timing tells nothing of the answer.
    unsigned char difference = 0;
    for (qsizetype i = 0; i < expected.size(); ++i)
        difference |= static_cast<unsigned char>(expected[i] ^ answer[i]);
    return difference == 0;
}

} // namespace quillmote::web
