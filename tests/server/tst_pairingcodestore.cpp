// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/PairingCodeStore.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using quillmote::PairingCodeStore;

namespace {
QString storedCode(const QString& path)
{
    return QSettings(path, QSettings::IniFormat)
        .value(QLatin1String(PairingCodeStore::pairingCodeKey))
        .toString();
}
} // namespace

class PairingCodeStoreTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void place_storedWithLeadingZeros_keptUnchanged()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Quillmote.conf"));
        QSettings(path, QSettings::IniFormat)
            .setValue(QLatin1String(PairingCodeStore::pairingCodeKey), "000042");
        QCOMPARE(PairingCodeStore(path).place(), QStringLiteral("000042"));
    }

    void place_malformedStored_replacedAndStored_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("empty") << QString();
        QTest::newRow("five digits") << QStringLiteral("12345");
        QTest::newRow("seven digits") << QStringLiteral("1234567");
        QTest::newRow("letter") << QStringLiteral("12a456");
        QTest::newRow("trailing space") << QStringLiteral("123456 ");
        QTest::newRow("non-ASCII digits") << QStringLiteral("١٢٣٤٥٦");
    }
    void place_malformedStored_replacedAndStored()
    {
        QFETCH(QString, stored);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Quillmote.conf"));
        QSettings(path, QSettings::IniFormat)
            .setValue(QLatin1String(PairingCodeStore::pairingCodeKey), stored);
        const QString code = PairingCodeStore(path).place();
        QVERIFY2(PairingCodeStore::isWellFormed(code), qPrintable(code));
        QCOMPARE(storedCode(path), code);
    }

    void place_unwritableSettings_stillGivesCode()
    {
        const QString code =
            PairingCodeStore(QStringLiteral("/proc/quillmote-no-such/Quillmote.conf")).place();
        QVERIFY(PairingCodeStore::isWellFormed(code));
    }

    void draw_manyCodes_sixDigitsWithLeadingZerosAndSpread()
    {
        QSet<QString> seen;
        bool leadingZero = false;
        for (int i = 0; i < 5000; ++i) {
            const QString code = PairingCodeStore::draw();
            QVERIFY(PairingCodeStore::isWellFormed(code));
            leadingZero |= code.startsWith(u'0');
            seen.insert(code);
        }
        QVERIFY(leadingZero); // one in ten codes; missing it 5000 times means a formatting fault
        QVERIFY(seen.size() > 4900);
    }
};

QObject* makePairingCodeStoreTest()
{
    return new PairingCodeStoreTest;
}

#include "tst_pairingcodestore.moc"
