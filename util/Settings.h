// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QVariant>

#include <array>
#include <optional>

namespace quillmote {

// This user's settings file (INI): the one place that reads and writes it. It holds what pairs a
// phone (the code, the link's secret) and what grants input (the portal's token), so writing
// makes it private first, and those secrets are not read from a file another user owns.
class Settings
{
public:
    enum class Key {
        SavedPairingCode,
        WebRemoteSecret,
        PortalRestoreToken,
        Port,
        WebPort,
        WebRemote,
        HasCompletedOnboarding,
        Devices,
        AskBeforeNewDevice,
    };
    struct KeyInfo
    {
        Key key;
        QLatin1StringView name; // as stored in the file
        bool secret;            // only trusted from a file and folder of this user
    };
    static constexpr std::array<KeyInfo, 9> keys{{
        {Key::SavedPairingCode, QLatin1StringView("SavedPairingCode"), true},
        {Key::WebRemoteSecret, QLatin1StringView("WebRemoteSecret"), true},
        {Key::PortalRestoreToken, QLatin1StringView("PortalRestoreToken"), true},
        {Key::Port, QLatin1StringView("Port"), false},
        {Key::WebPort, QLatin1StringView("WebPort"), false},
        {Key::WebRemote, QLatin1StringView("WebRemote"), false},
        {Key::HasCompletedOnboarding, QLatin1StringView("hasCompletedOnboarding"), false},
        // Who may pair without being asked about, and whether anyone is asked at all.
        {Key::Devices, QLatin1StringView("Devices"), true},
        {Key::AskBeforeNewDevice, QLatin1StringView("AskBeforeNewDevice"), true},
    }};
    static constexpr QLatin1StringView name(Key key) { return keys[static_cast<std::size_t>(key)].name; }

    enum class Privacy {
        Private,  // folder 0700 and file 0600, ours
        Narrowed, // they were wider and are now private
        Failed,   // they are wider and could not be narrowed
        Foreign,  // the folder or the file belongs to another user: nothing in it can be trusted
    };
    enum class Saved {
        Saved,
        Foreign, // not written: the file or its folder is another user's
        Failed,  // the write or its sync failed
    };

    // ~/.config/Quillmote/Quillmote.conf (XDG_CONFIG_HOME respected).
    static QString userFilePath();

    explicit Settings(QString path);
    const QString& path() const { return m_path; }

    // Makes the folder 0700 and the file 0600, creating both when missing (QSettings keeps an
    // existing file's mode when it rewrites it). A folder or file of another user is left alone.
    Privacy makePrivate() const;
    // Whether the file and its folder, where they exist, belong to this user.
    bool isOwn() const;

    // The stored text; nothing when absent, or when the key is secret and the file is not ours.
    std::optional<QString> text(Key key) const;
    // A port setting; nothing when absent, and when it is not a port number (said on the console).
    std::optional<quint16> port(Key key) const;
    // A flag; `absent` when it is not stored, and when it is secret and the file is not ours.
    bool flag(Key key, bool absent) const;

    Saved write(Key key, const QVariant& value) const;

private:
    QString m_path;
};

} // namespace quillmote
