// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "util/Settings.h"
#include "web/LinkSecret.h"

#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace quillmote;
using Key = Settings::Key;

Q_DECLARE_METATYPE(Settings::Key)

namespace {
using P = QFileDevice;
constexpr QFileDevice::Permissions readWrite = P::ReadOwner | P::WriteOwner | P::ReadUser | P::WriteUser;

// Another user's folder needs root to make.
bool giveAwayFolder(const Settings& settings)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(settings.path()).absolutePath());
    return ::geteuid() == 0 && ::chown(folder.constData(), 65534, 65534) == 0;
}
} // namespace

#define GIVE_AWAY_FOLDER_OR_SKIP(settings)                                                                   \
    if (!giveAwayFolder(settings)) {                                                                         \
        if (qgetenv("CI") == "true")                                                                         \
            QFAIL("needs root to give the folder to another user");                                          \
        QSKIP("needs root to give the folder to another user");                                              \
    }

class SettingsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyKey_storedUnderItsName_privately_secretsOnlyFromOurFile_data()
    {
        QTest::addColumn<Key>("key");
        QTest::addColumn<QByteArray>("line"); // as in files already on users' disks
        QTest::addColumn<bool>("secret");
        QTest::newRow("code") << Key::SavedPairingCode << QByteArray("SavedPairingCode=012345") << true;
        QTest::newRow("link") << Key::WebRemoteSecret << QByteArray("WebRemoteSecret=AAECAwQ") << true;
        QTest::newRow("token") << Key::PortalRestoreToken << QByteArray("PortalRestoreToken=t-1") << true;
        QTest::newRow("port") << Key::Port << QByteArray("Port=61000") << false;
        QTest::newRow("web port") << Key::WebPort << QByteArray("WebPort=61001") << false;
        QTest::newRow("web switch") << Key::WebRemote << QByteArray("WebRemote=false") << false;
        QTest::newRow("done") << Key::HasCompletedOnboarding << QByteArray("hasCompletedOnboarding=true")
                              << false;
        QTest::newRow("ask") << Key::AskBeforeNewDevice << QByteArray("AskBeforeNewDevice=false") << true;
    }
    void everyKey_storedUnderItsName_privately_secretsOnlyFromOurFile()
    {
        QFETCH(Key, key);
        QFETCH(QByteArray, line);
        QFETCH(bool, secret);
        const QString value = QString::fromLatin1(line.mid(line.indexOf('=') + 1));
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Quillmote"));
        const Settings settings(folder + QStringLiteral("/Quillmote.conf"));
        // A file that others could read is narrowed by any write, whichever key it stores.
        QVERIFY(QDir().mkpath(folder) && QFile(settings.path()).open(QIODevice::WriteOnly));
        QVERIFY(QFile::setPermissions(folder, readWrite | P::ExeOwner | P::ReadOther | P::ExeOther));
        QVERIFY(QFile::setPermissions(settings.path(), readWrite | P::ReadGroup | P::ReadOther));
        QCOMPARE(settings.write(key, value), Settings::Saved::Saved);
        QCOMPARE(QFile::permissions(folder), readWrite | P::ExeOwner | P::ExeUser);
        QCOMPARE(QFile::permissions(settings.path()), readWrite);
        QFile file(settings.path());
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().split('\n').contains(line));
        QCOMPARE(settings.text(key), value);
        // Whoever owns the folder could have put a code, a link or a grant of their own there.
        GIVE_AWAY_FOLDER_OR_SKIP(settings);
        QCOMPARE(settings.text(key).has_value(), !secret);
        QCOMPARE(settings.flag(key, true), secret || value != QLatin1String("false"));
        QCOMPARE(settings.write(key, value + u'9'), Settings::Saved::Foreign);
    }

    void ports_takenOnlyWhenTheyAreOne_andWritesThatFailSaySo()
    {
        QTemporaryDir dir;
        const Settings settings(dir.filePath(QStringLiteral("Quillmote.conf")));
        const std::pair<const char*, int> rows[] = {
            {"61917", 61917}, {"0", 0}, {"65535", 65535}, {"65536", -1}, {"-1", -1}, {"http", -1}, {"", -1}};
        for (const auto& [stored, port] : rows) {
            QCOMPARE(settings.write(Key::WebPort, QString::fromLatin1(stored)), Settings::Saved::Saved);
            const std::optional<quint16> read = settings.port(Key::WebPort);
            QCOMPARE(read ? int(*read) : -1, port);
        }
        // A folder where the file should be: QSettings cannot replace it.
        const Settings blocked(dir.filePath(QStringLiteral("Blocked.conf")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Blocked.conf")));
        QCOMPARE(blocked.write(Key::WebRemote, false), Settings::Saved::Failed);
    }

    void linkSecret_fromAnotherUsersFile_isNotUsed()
    {
        QTemporaryDir dir;
        const Settings settings(dir.filePath(QStringLiteral("Quillmote/Quillmote.conf")));
        const QString planted = web::LinkSecret(settings).text(); // drawn and stored while the file is ours
        GIVE_AWAY_FOLDER_OR_SKIP(settings);
        QVERIFY(web::LinkSecret(settings).text() != planted);
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
