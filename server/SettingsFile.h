// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

namespace quillmote::settings {

enum class Privacy {
    Private,  // folder 0700 and file 0600, ours
    Narrowed, // they were wider and are now private
    Failed,   // they are wider and could not be narrowed
    Foreign,  // the folder or the file belongs to another user: nothing in it can be trusted
};

// The settings file holds the pairing code, so only its owner may read it: makes its folder
// 0700 and the file 0600, creating both when missing (QSettings keeps an existing file's mode
// when it rewrites it). A folder or file of another user is left alone.
Privacy makePrivate(const QString& path);

// Whether the file and its folder, where they exist, belong to this user.
bool isOwn(const QString& path);

} // namespace quillmote::settings
