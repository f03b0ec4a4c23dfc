// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/PairingCodeStore.h"

#include "util/Console.h"
#include "util/Settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <sys/random.h>

namespace quillmote {

PairingCodeStore::PairingCodeStore(const Settings& settings) : m_settings(settings) {}

bool PairingCodeStore::isWellFormed(const QString& code)
{
    if (code.size() != 6)
        return false;
    return std::all_of(code.begin(), code.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QString PairingCodeStore::draw()
{
    constexpr std::uint64_t range = 1'000'000;
    // Words at or above the largest multiple of the range would favour the low codes.
    constexpr std::uint64_t limit =
        std::numeric_limits<std::uint64_t>::max() - std::numeric_limits<std::uint64_t>::max() % range;
    for (;;) {
        std::uint64_t word = 0;
        const ssize_t n = ::getrandom(&word, sizeof word, 0);
        if (n != static_cast<ssize_t>(sizeof word))
            continue; // EINTR before the pool is ready; getrandom blocks until it is
        if (word < limit)
            return QString::asprintf("%06d", static_cast<int>(word % range));
    }
}

QString PairingCodeStore::place() const
{
    // Another user could have put a code of their own there.
    if (!m_settings.isOwn()) {
        console::line(QStringLiteral("The settings file %1 or its folder belongs to another user: not used; "
                                     "the pairing code holds for this run only.")
                          .arg(m_settings.path()));
        return draw();
    }
    if (const std::optional<QString> stored = m_settings.text(Settings::Key::SavedPairingCode)) {
        if (isWellFormed(*stored))
            return *stored;
        console::line(QStringLiteral("Stored pairing code is not six digits; a new code was drawn."));
    }
    return replace();
}

QString PairingCodeStore::replace() const
{
    const QString code = draw();
    if (m_settings.write(Settings::Key::SavedPairingCode, code) == Settings::Saved::Failed)
        console::line(QStringLiteral("Failed to save the pairing code to %1; it holds for this run only.")
                          .arg(m_settings.path()));
    return code;
}

} // namespace quillmote
