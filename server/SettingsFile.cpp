// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/SettingsFile.h"

#include "util/UniqueFd.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmote::settings {

namespace {
// Narrows the mode of an existing path to `mode`; true when it was wider.
bool narrow(const QByteArray& path, mode_t mode)
{
    struct stat st
    {
    };
    if (::lstat(path.constData(), &st) != 0 || S_ISLNK(st.st_mode))
        return false;
    if ((st.st_mode & 07777 & ~mode) == 0)
        return false;
    ::chmod(path.constData(), mode);
    return true;
}
} // namespace

bool makePrivate(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray folderBytes = QFile::encodeName(folder);
    const QByteArray fileBytes = QFile::encodeName(path);
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(folder);
        ::chmod(folderBytes.constData(), 0700);
    }
    const bool folderWider = narrow(folderBytes, 0700);
    // O_EXCL: a file that exists is only narrowed, never replaced.
    const UniqueFd created(
        ::open(fileBytes.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    const bool fileWider = narrow(fileBytes, 0600);
    return folderWider || fileWider;
}

} // namespace quillmote::settings
