// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

namespace quillmote {

class Settings;

// The six-digit code kept under "SavedPairingCode" in an INI settings file, drawn once per
// user account and then shown and accepted by every run.
class PairingCodeStore
{
public:
    explicit PairingCodeStore(const Settings& settings);

    // The stored code; a value that is not six ASCII digits counts as absent, since the
    // pairing test is a prefix test and an empty code would accept everyone. When absent, a
    // new code is drawn and stored.
    QString place() const;
    // Draws a new code and stores it in place of the old one.
    QString replace() const;

    static bool isWellFormed(const QString& code);
    // Uniform over 000000..999999 from the kernel's secure random source, without modulo bias.
    static QString draw();

private:
    const Settings& m_settings;
};

} // namespace quillmote
