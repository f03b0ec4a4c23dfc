// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "util/Settings.h"
#include "web/LinkSecret.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace quillmote;
using Key = Settings::Key;

Q_DECLARE_METATYPE(Settings::Key)

namespace {
mode_t modeOf(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QByteArray fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Another user's folder needs root to make; outside CI a plain user skips.
bool giveAwayFolder(const QString& folder)
{
    return ::geteuid() == 0 && ::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0;
}
} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyKey_storedUnderItsName_privately_andOnlyOursTrustedForSecrets_data()
    {
        QTest::addColumn<Key>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("secret");
        // The names are those of files already on users' disks.
        QTest::newRow("code") << Key::SavedPairingCode << "012345" << QByteArray("SavedPairingCode=012345")
                              << true;
        QTest::newRow("link") << Key::WebRemoteSecret << "AAECAwQ" << QByteArray("WebRemoteSecret=AAECAwQ")
                              << true;
        QTest::newRow("token") << Key::PortalRestoreToken << "t-1" << QByteArray("PortalRestoreToken=t-1")
                               << true;
        QTest::newRow("port") << Key::Port << "61000" << QByteArray("Port=61000") << false;
        QTest::newRow("web port") << Key::WebPort << "61001" << QByteArray("WebPort=61001") << false;
        QTest::newRow("web switch") << Key::WebRemote << "false" << QByteArray("WebRemote=false") << false;
        QTest::newRow("onboarded") << Key::HasCompletedOnboarding << "true"
                                   << QByteArray("hasCompletedOnboarding=true") << false;
    }
    void everyKey_storedUnderItsName_privately_andOnlyOursTrustedForSecrets()
    {
        QFETCH(Key, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, line);
        QFETCH(bool, secret);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Quillmote"));
        const Settings settings(folder + QStringLiteral("/Quillmote.conf"));
        QCOMPARE(settings.text(key), std::nullopt);
        // A file that others could read is narrowed by any write, whichever key it stores.
        QVERIFY(QDir().mkpath(folder));
        QFile(settings.path()).open(QIODevice::WriteOnly);
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        ::chmod(QFile::encodeName(settings.path()).constData(), 0644);
        QCOMPARE(settings.write(key, value), Settings::Saved::Saved);
        QCOMPARE(modeOf(folder), mode_t(0700));
        QCOMPARE(modeOf(settings.path()), mode_t(0600));
        QVERIFY(fileText(settings.path()).split('\n').contains(line));
        QCOMPARE(settings.text(key), value);
        QVERIFY(settings.isOwn());

        if (!giveAwayFolder(folder)) {
            if (qgetenv("CI") == "true")
                QFAIL("needs root to give the folder to another user");
            QSKIP("needs root to give the folder to another user");
        }
        // Whoever owns the folder could have put a code, a link or a grant of their own there.
        QVERIFY(!settings.isOwn());
        QCOMPARE(settings.text(key).has_value(), !secret);
        QCOMPARE(settings.write(key, value + QStringLiteral("9")), Settings::Saved::Foreign);
        QVERIFY(!fileText(settings.path()).contains(value.toUtf8() + '9'));
        QCOMPARE(Settings::name(key), QLatin1StringView(line.left(line.indexOf('='))));
    }

    void ports_takenOnlyWhenTheyAreOne_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("port"); // -1: none
        QTest::newRow("number") << "61917" << 61917;
        QTest::newRow("zero: any free port") << "0" << 0;
        QTest::newRow("highest") << "65535" << 65535;
        QTest::newRow("too high") << "65536" << -1;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("words") << "http" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void ports_takenOnlyWhenTheyAreOne()
    {
        QFETCH(QString, stored);
        QFETCH(int, port);
        QTemporaryDir dir;
        const Settings settings(dir.filePath(QStringLiteral("Quillmote.conf")));
        QCOMPARE(settings.write(Key::WebPort, stored), Settings::Saved::Saved);
        const std::optional<quint16> read = settings.port(Key::WebPort);
        QCOMPARE(read.has_value() ? int(*read) : -1, port);
    }

    void writesThatCannotHappen_sayNotSaved()
    {
        QTemporaryDir dir;
        // A folder where the file should be: QSettings cannot replace it.
        const Settings settings(dir.filePath(QStringLiteral("Quillmote.conf")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Quillmote.conf")));
        QCOMPARE(settings.write(Key::WebRemote, false), Settings::Saved::Failed);
        QCOMPARE(settings.flag(Key::WebRemote, true), true);
    }

    void linkSecret_fromAnotherUsersFile_isNotUsed()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Quillmote"));
        const Settings settings(folder + QStringLiteral("/Quillmote.conf"));
        web::LinkSecret planted(settings);
        const QString plantedText = planted.text();
        QCOMPARE(web::LinkSecret(settings).text(), plantedText); // ours: kept across runs
        if (!giveAwayFolder(folder)) {
            if (qgetenv("CI") == "true")
                QFAIL("needs root to give the folder to another user");
            QSKIP("needs root to give the folder to another user");
        }
        web::LinkSecret secret(settings);
        QVERIFY(secret.text() != plantedText);
        QCOMPARE(settings.text(Key::WebRemoteSecret), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
