// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "actions/HostActions.h"
#include "input/InputController.h"
#include "platform/desktop/DBusUserActivity.h"
#include "platform/desktop/GioAppCatalogue.h"
#include "support/LoopbackClient.h"
#include "support/ServerFixture.h"
#include "support/TestSink.h"

#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmote;
using namespace quillmote::actions;
using namespace quillmote::input;
using namespace quillmote::test;

namespace {
bool inCI()
{
    return qEnvironmentVariable("CI") == QLatin1String("true");
}

class NoActivity : public UserActivity
{
public:
    void declareUserActivity(const QString&) override {}
};

// The screen saver service of a session, as the wake action sees it on the bus.
class ScreenSaverService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    int calls = 0;
public Q_SLOTS:
    void SimulateUserActivity() { ++calls; }
};

bool writeFile(const QString& path, const QByteArray& contents, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        return false;
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return true;
}

QByteArray desktopEntry(const QByteArray& name, const QByteArray& extra = {})
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n" + extra;
}

// Host actions on a profile, with the tools they start recorded instead of run, behind a
// paired client of a real server.
struct Host
{
    explicit Host(HostProfile profile, AppCatalogue& catalogue)
        : sink(new TestSink), controller(std::unique_ptr<EventSink>(sink)),
          actions({.input = controller,
                   .profile = std::move(profile),
                   .catalogue = catalogue,
                   .userActivity = activity,
                   .runner =
                       [this](const QString& path, const QStringList& arguments) {
                           commands.push_back({path, arguments});
                       }}),
          fixture(0, &std::chrono::steady_clock::now, &controller, &actions)
    {
        fixture.server->start();
        client = std::make_unique<LoopbackClient>(fixture.port());
    }
    bool pair()
    {
        return client->exchange("PAIR:" + fixture.server->pairingCode().toUtf8()).startsWith("PAIR_SUCCESS");
    }

    TestSink* sink;
    InputController controller;
    NoActivity activity;
    std::vector<ToolCommand> commands;
    HostActions actions;
    ServerFixture fixture;
    std::unique_ptr<LoopbackClient> client;
};

QStringList names(const std::vector<AppSearchResult>& results)
{
    QStringList list;
    for (const auto& r : results)
        list << r.name;
    return list;
}
} // namespace

namespace quillmote::actions {
inline char* toString(const ToolCommand& command)
{
    return qstrdup(qPrintable(command.program + QLatin1Char('|') + command.arguments.join(QLatin1Char('|'))));
}
} // namespace quillmote::actions

Q_DECLARE_METATYPE(std::vector<quillmote::input::Event>)
Q_DECLARE_METATYPE(std::vector<quillmote::actions::ToolCommand>)
Q_DECLARE_METATYPE(quillmote::actions::SystemAction)

class ActionsTest : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_root;
    QString m_home;
    QString m_dataHome;
    QProcess m_bus;
    QString m_busAddress;
    desktop::GioAppCatalogue m_catalogue;

    QString path(const QString& relative) const { return m_root.filePath(relative); }
    QString entryPath(const QString& id) const
    {
        return m_dataHome + QStringLiteral("/applications/") + id + QStringLiteral(".desktop");
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        m_home = path(QStringLiteral("home"));
        m_dataHome = path(QStringLiteral("data-home"));
        // GIO reads these once, before its first use in this process.
        qputenv("XDG_DATA_HOME", m_dataHome.toUtf8());
        qputenv("XDG_DATA_DIRS", path(QStringLiteral("data-system")).toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        qputenv("LANGUAGE", "en");

        const QString apps = m_dataHome + QStringLiteral("/applications/");
        QVERIFY(writeFile(apps + "org.example.Music.desktop",
                          desktopEntry("Music Player", "Name[zh_CN]=音乐播放器\n")));
        QVERIFY(writeFile(apps + "netease-cloud-music.desktop",
                          desktopEntry("NetEase Cloud Music", "Name[zh_CN]=网易云音乐\n")));
        QVERIFY(writeFile(apps + "hidden-music.desktop", desktopEntry("Hidden Music", "Hidden=true\n")));
        QVERIFY(writeFile(apps + "helper-music.desktop", desktopEntry("Music Helper", "NoDisplay=true\n")));
        QVERIFY(writeFile(apps + "kde-music.desktop", desktopEntry("Plasma Music", "OnlyShowIn=KDE;\n")));
        // Shadowed by the entry of the same id in the user's own folder.
        QVERIFY(
            writeFile(path("data-system/applications/org.example.Music.desktop"), desktopEntry("Old Music")));
        for (int i = 0; i < 20; ++i)
            QVERIFY(writeFile(
                apps + QStringLiteral("bulk-%1.desktop").arg(i, 2, 10, QLatin1Char('0')),
                desktopEntry(QByteArray("Bulk Tool ") + QByteArray::number(i).rightJustified(2, '0'))));
        const QByteArray probe =
            "[Desktop Entry]\nType=Application\nName=Launch Probe\nExec=/bin/sh -c 'echo x >> " +
            path("launches").toUtf8() + "'\n";
        QVERIFY(writeFile(apps + "launch-probe.desktop", probe));

        QVERIFY(writeFile(m_home + "/Applications/Music Box.AppImage", "", true));
        QVERIFY(writeFile(m_home + "/Applications/.Hidden Music.AppImage", "", true));
        QVERIFY(writeFile(m_home + "/Applications/music lower.appimage", "", true));
        QVERIFY(writeFile(m_home + "/Applications/Nested/Deep Music.AppImage", "", true));
        QVERIFY(writeFile(m_home + "/AppImages/NeteaseMusic.AppImage", "", true));
        QVERIFY(writeFile(m_home + "/AppImages/Bulk Extra.AppImage", "", true));
        QVERIFY(writeFile(m_home + "/AppImages/Music Notes.AppImage", "not executable"));

        // A private session bus, so that neither GIO's launch notices nor the wake's call
        // reach the desktop this test may run in.
        if (!QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
            m_bus.start(QStringLiteral("dbus-daemon"),
                        {QStringLiteral("--session"), QStringLiteral("--nofork"),
                         QStringLiteral("--print-address=1")});
            QVERIFY(m_bus.waitForStarted(5000));
            QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 5000);
            m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
            qputenv("DBUS_SESSION_BUS_ADDRESS", m_busAddress.toUtf8());
        } else {
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        }
    }
    void cleanupTestCase()
    {
        if (m_bus.state() != QProcess::NotRunning) {
            m_bus.terminate();
            if (!m_bus.waitForFinished(3000))
                m_bus.kill();
        }
    }

    void systemCommands_replyAndEffect_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<std::vector<Event>>("events");
        QTest::addColumn<std::vector<ToolCommand>>("commands");
        using E = std::vector<Event>;
        using C = std::vector<ToolCommand>;
        const QString gnome = QStringLiteral("GNOME");
        // Addresses open only as http(s) URLs with a host, never as paths or other schemes.
        const auto url = [](const char* address) {
            return C{{QStringLiteral("xdg-open"), {QString::fromUtf8(address)}}};
        };
        for (const auto& [name, address, opened] :
             std::initializer_list<std::tuple<const char*, const char*, C>>{
                 {"url query kept encoded", "http://example.com/s?q=a%20b",
                  url("http://example.com/s?q=a%20b")},
                 {"url www gets https", "www.example.com", url("https://www.example.com")},
                 {"url www with dots stays a web address", "www/../../etc/shadow",
                  url("https://www/../../etc/shadow")},
                 {"url space is not strict", "https://example.com/a b\"c", C{}},
                 {"url http without host", "http:/etc/passwd", C{}},
                 {"url scheme only begins with http", "httpx://example.com", C{}},
                 {"url ftp", "ftp://example.com", C{}},
                 {"url upper case", "HTTP://example.com", C{}},
                 {"url leading space", " http://example.com", C{}},
             })
            QTest::newRow(name) << gnome << QByteArray("CMD:OPEN:URL:") + address
                                << QByteArray("ACK_OPEN_URL") << E{} << opened;
        QTest::newRow("lower-case name")
            << gnome << QByteArray("CMD:spotlight") << QByteArray() << E{} << C{};
        QTest::newRow("empty name") << gnome << QByteArray("CMD:") << QByteArray() << E{} << C{};
        QTest::newRow("unknown name") << gnome << QByteArray("CMD:REBOOT") << QByteArray() << E{} << C{};
        QTest::newRow("trailing space") << gnome << QByteArray("CMD:DOCK ") << QByteArray() << E{} << C{};
        QTest::newRow("open app without colon")
            << gnome << QByteArray("CMD:OPEN:APP") << QByteArray() << E{} << C{};

        const QString kde = QStringLiteral("KDE");
        QTest::newRow("kde show desktop")
            << kde << QByteArray("CMD:DOCK") << QByteArray("ACK_DOCK") << keyStroke(2, 0x40000) << C{};
        QTest::newRow("kde reload is F5")
            << kde << QByteArray("CMD:REFRESH") << QByteArray("ACK_REFRESH") << keyStroke(96, 0) << C{};
        QTest::newRow("kde url file scheme") << kde << QByteArray("CMD:OPEN:URL:file:///etc/passwd")
                                             << QByteArray("ACK_OPEN_URL") << E{} << C{};
        QTest::newRow("kde other path is refused")
            << kde << QByteArray("CMD:OPEN:APP:/etc/hosts") << QByteArray("ACK_OPEN_APP") << E{} << C{};
        QTest::newRow("kde unknown name runs nothing")
            << kde << QByteArray("CMD:OPEN:APP:No Such Program") << QByteArray("ACK_OPEN_APP") << E{} << C{};
    }
    void systemCommands_replyAndEffect()
    {
        QFETCH(QString, desktop);
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, reply);
        QFETCH(std::vector<Event>, events);
        QFETCH(std::vector<ToolCommand>, commands);
        Host host(HostProfile::forLinuxDesktop(desktop, m_home), m_catalogue);
        host.client->send(message);
        QVERIFY(host.client->staysSilent(100)); // nothing before pairing
        QVERIFY(host.commands.empty());
        QVERIFY(host.pair());
        if (reply.isEmpty())
            QVERIFY(host.client->exchange(message, 150).isEmpty());
        else
            QCOMPARE(host.client->exchange(message), reply);
        QCOMPARE(host.sink->events, events); // the nudge of a wake comes later
        QCOMPARE(host.commands, commands);
    }

    void linuxDesktops_actionsChosenByCurrentDesktop_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<SystemAction>("launcher");
        QTest::addColumn<SystemAction>("overview");
        QTest::addColumn<SystemAction>("showDesktop");
        const SystemAction superTap = KeyChord{59, 0};
        const SystemAction superD = KeyChord{2, 0x40000};
        const auto tool = [](const char* program, QStringList arguments = {}) {
            return SystemAction(ToolCommand{QString::fromLatin1(program), std::move(arguments)});
        };
        const auto bus = [&](const char* dest, const char* path, const char* method, QStringList rest = {}) {
            return tool("dbus-send",
                        QStringList{QStringLiteral("--session"), QStringLiteral("--type=method_call"),
                                    QStringLiteral("--dest=") + QString::fromLatin1(dest),
                                    QString::fromLatin1(path), QString::fromLatin1(method)} +
                            rest);
        };
        const SystemAction none = Unavailable{QStringLiteral("application launcher")};
        const SystemAction noOverview = Unavailable{QStringLiteral("window overview")};
        const SystemAction noShow = Unavailable{QStringLiteral("way to show the desktop")};
        QTest::newRow("ubuntu") << QStringLiteral("ubuntu:GNOME") << superTap << superTap << superD;
        QTest::newRow("kde") << QStringLiteral("KDE")
                             << bus("org.kde.krunner", "/App", "org.kde.krunner.App.display")
                             << bus("org.kde.kglobalaccel", "/component/kwin",
                                    "org.kde.kglobalaccel.Component.invokeShortcut",
                                    {QStringLiteral("string:Overview")})
                             << superD;
        QTest::newRow("xfce") << QStringLiteral("XFCE") << tool("xfce4-appfinder") << noOverview
                              << SystemAction(KeyChord{2, 0x180000});
        QTest::newRow("cinnamon") << QStringLiteral("X-Cinnamon") << superTap
                                  << SystemAction(KeyChord{126, 0x180000}) << superD;
        QTest::newRow("budgie") << QStringLiteral("Budgie:GNOME") << tool("budgie-run-dialog") << noOverview
                                << superD;
        QTest::newRow("lxqt") << QStringLiteral("LXQt") << SystemAction(KeyChord{120, 0x80000}) << noOverview
                              << noShow;
        QTest::newRow("mate") << QStringLiteral("MATE")
                              << tool("mate-panel", {QStringLiteral("--run-dialog")}) << noOverview << noShow;
        QTest::newRow("plain window manager") << QString() << none << noOverview << noShow;
    }
    void linuxDesktops_actionsChosenByCurrentDesktop()
    {
        QFETCH(QString, desktop);
        QFETCH(SystemAction, launcher);
        QFETCH(SystemAction, overview);
        QFETCH(SystemAction, showDesktop);
        Host host(HostProfile::forLinuxDesktop(desktop, m_home), m_catalogue);
        QVERIFY(host.pair());
        const std::pair<QByteArray, SystemAction> expected[] = {
            {"CMD:SPOTLIGHT", launcher}, {"CMD:MISSION_CONTROL", overview}, {"CMD:DOCK", showDesktop}};
        for (const auto& [message, action] : expected) {
            host.sink->events.clear();
            host.commands.clear();
            QVERIFY(!host.client->exchange(message).isEmpty());
            // A chord is pressed, a tool started, or, where there is none, nothing at all.
            const auto* chord = std::get_if<KeyChord>(&action);
            const auto* command = std::get_if<ToolCommand>(&action);
            QCOMPARE(host.sink->events,
                     chord ? keyStroke(chord->keyCode, chord->flags) : std::vector<Event>{});
            QCOMPARE(host.commands,
                     command ? std::vector<ToolCommand>{*command} : std::vector<ToolCommand>{});
        }
    }

    void search_stagesFiltersAndOrder()
    {
        ApplicationSearch search(m_catalogue,
                                 HostProfile::forLinuxDesktop(u"GNOME", m_home).applicationFolders,
                                 QStringLiteral("AppImage"));
        const QString apps = m_home + QStringLiteral("/Applications/");
        const QString images = m_home + QStringLiteral("/AppImages/");

        QVERIFY(search.searchApplications(QString()).empty());
        QVERIFY(search.searchApplications(QStringLiteral("zzz-no-such")).empty());

        // Catalogue first, by name, without hidden, undisplayed, other-desktop or shadowed
        // entries; then the folders' top levels, hidden files included, extension exact.
        const std::vector<AppSearchResult> expected{
            {QStringLiteral("Music Player"), entryPath(QStringLiteral("org.example.Music"))},
            {QStringLiteral("NetEase Cloud Music"), entryPath(QStringLiteral("netease-cloud-music"))},
            {QStringLiteral(".Hidden Music"), apps + QStringLiteral(".Hidden Music.AppImage")},
            {QStringLiteral("Music Box"), apps + QStringLiteral("Music Box.AppImage")},
            {QStringLiteral("Music Notes"), images + QStringLiteral("Music Notes.AppImage")},
            {QStringLiteral("NeteaseMusic"), images + QStringLiteral("NeteaseMusic.AppImage")},
        };
        QCOMPARE(search.searchApplications(QStringLiteral("music")), expected);
        QCOMPARE(search.searchApplications(QStringLiteral("MUSIC")), expected);
        // The id matches too.
        QCOMPARE(names(search.searchApplications(QStringLiteral("org.example"))),
                 QStringList{QStringLiteral("Music Player")});

        // Twenty catalogue matches: the first fifteen, and no room for the folder's match.
        const std::vector<AppSearchResult> bulk = search.searchApplications(QStringLiteral("bulk"));
        QCOMPARE(int(bulk.size()), ApplicationSearch::searchResultLimit);
        QCOMPARE(bulk.front().name, QStringLiteral("Bulk Tool 00"));
        QCOMPARE(bulk.back().name, QStringLiteral("Bulk Tool 14"));
    }

    void search_followsInstalledApplications()
    {
        ApplicationSearch search(m_catalogue, {}, QStringLiteral("AppImage"));
        const QString query = QStringLiteral("Fresh Arrival");
        QVERIFY(search.searchApplications(query).empty());
        const QString file = entryPath(QStringLiteral("fresh-arrival"));
        QVERIFY(writeFile(file, desktopEntry("Fresh Arrival")));
        QTRY_COMPARE_WITH_TIMEOUT(search.searchApplications(query),
                                  (std::vector<AppSearchResult>{{query, file}}), 5000);
        QVERIFY(writeFile(file, desktopEntry("Fresh Arrival", "NoDisplay=true\n")));
        QTRY_VERIFY_WITH_TIMEOUT(search.searchApplications(query).empty(), 5000);
        QVERIFY(writeFile(file, desktopEntry("Fresh Arrival")));
        QTRY_COMPARE_WITH_TIMEOUT(search.searchApplications(query).size(), size_t(1), 5000);
        QVERIFY(QFile::remove(file));
        QTRY_VERIFY_WITH_TIMEOUT(search.searchApplications(query).empty(), 5000);
    }

    void search_rankedByMatchQuality_namesOpenWhenUnambiguous()
    {
        // Entries as XFCE and a browser install them, put in place while the search runs.
        const QByteArray record =
            "Exec=/bin/sh -c 'echo %1 >> " + path(QStringLiteral("opened")).toUtf8() + "'\n";
        const std::pair<const char*, QByteArray> entries[] = {
            {"thunar", "Name=Thunar File Manager\nGenericName=File Manager\nKeywords=folder;files;\n"},
            {"thunar-bulk-rename", "Name=Bulk Rename\nGenericName=Bulk Renamer\n"},
            {"thunar-settings", "Name=File Manager Settings\n"},
            {"org.xfce.mousepad", "Name=Mousepad\nGenericName=Text Editor\nKeywords=text;editor;notepad;\n"},
            {"xfce-mouse-settings", "Name=Mouse and Touchpad\n"},
            {"netsurf-gtk", "Name=NetSurf Web Browser\nGenericName=Web Browser\n"},
        };
        for (const auto& [id, fields] : entries)
            QVERIFY(writeFile(entryPath(QString::fromLatin1(id)), "[Desktop Entry]\nType=Application\n" +
                                                                      fields +
                                                                      QByteArray(record).replace("%1", id)));
        const auto cleanup = qScopeGuard([&] {
            for (const auto& entry : entries)
                QFile::remove(entryPath(QString::fromLatin1(entry.first)));
        });
        ApplicationSearch search(m_catalogue, {}, QStringLiteral("AppImage"));
        const auto names = [&search](const char* query) {
            QStringList found;
            for (const AppSearchResult& result : search.searchApplications(QString::fromUtf8(query)))
                found << result.name;
            return found;
        };
        QTRY_COMPARE_WITH_TIMEOUT(names("netsurf"), QStringList{QStringLiteral("NetSurf Web Browser")}, 5000);
        // The name first, then the id, generic name and keywords; ties alphabetical.
        QCOMPARE(names("thunar"),
                 (QStringList{QStringLiteral("Thunar File Manager"), QStringLiteral("Bulk Rename"),
                              QStringLiteral("File Manager Settings")}));
        QCOMPARE(names("editor"), QStringList{QStringLiteral("Mousepad")});
        QCOMPARE(names("FILE MAN"), (QStringList{QStringLiteral("File Manager Settings"),
                                                 QStringLiteral("Thunar File Manager")}));
        QCOMPARE(names("manager"), (QStringList{QStringLiteral("File Manager Settings"),
                                                QStringLiteral("Thunar File Manager")}));
        QCOMPARE(names("anager"), (QStringList{QStringLiteral("File Manager Settings"),
                                               QStringLiteral("Thunar File Manager")}));
        QCOMPARE(names("mouse"),
                 (QStringList{QStringLiteral("Mouse and Touchpad"), QStringLiteral("Mousepad")}));
        QCOMPARE(names("mousepad"), QStringList{QStringLiteral("Mousepad")});

        // By name: the exact one, else the one that ranks first alone; never a guess.
        Host host(HostProfile::forLinuxDesktop(u"XFCE", m_home), m_catalogue);
        QFile::remove(path(QStringLiteral("opened")));
        const auto openedNames = [this] {
            QFile opened(path(QStringLiteral("opened")));
            return opened.open(QIODevice::ReadOnly)
                       ? QString::fromUtf8(opened.readAll()).split(u'\n', Qt::SkipEmptyParts)
                       : QStringList();
        };
        host.actions.openApplication(QStringLiteral("NetSurf"));
        host.actions.openApplication(QStringLiteral("text editor"));
        QTRY_COMPARE_WITH_TIMEOUT(openedNames().size(), 2, 5000);
        QStringList both = openedNames();
        both.sort();
        QCOMPARE(both, (QStringList{QStringLiteral("netsurf-gtk"), QStringLiteral("org.xfce.mousepad")}));
        host.actions.openApplication(QStringLiteral("mouse")); // two entries start so: which one?
        host.actions.openApplication(QStringLiteral("manager"));
        spinEventLoop(300);
        QCOMPARE(openedNames().size(), 2);
    }

    void search_chineseNamesAndAliases()
    {
        QCOMPARE(
            ApplicationSearch::expandSearchTerms(QStringLiteral("网易云音乐")),
            (QStringList{QStringLiteral("网易云音乐"), QStringLiteral("Music"), QStringLiteral("Netease")}));
        QCOMPARE(
            ApplicationSearch::expandSearchTerms(QStringLiteral("笔记和备忘录")),
            (QStringList{QStringLiteral("笔记和备忘录"), QStringLiteral("Notes"), QStringLiteral("Notes")}));
        QCOMPARE(ApplicationSearch::expandSearchTerms(QStringLiteral("Terminal")),
                 QStringList{QStringLiteral("Terminal")});

        // Names are read in the language of the process when a catalogue first reads them.
        qputenv("LANGUAGE", "zh_CN");
        desktop::GioAppCatalogue chinese;
        ApplicationSearch search(chinese, HostProfile::forLinuxDesktop(u"GNOME", m_home).applicationFolders,
                                 QStringLiteral("AppImage"));
        const std::vector<AppSearchResult> results = search.searchApplications(QStringLiteral("网易云音乐"));
        qputenv("LANGUAGE", "en");
        // The query's own match first, then the alias terms' matches, each entry once.
        QCOMPARE(names(results),
                 (QStringList{QStringLiteral("网易云音乐"), QStringLiteral("音乐播放器"),
                              QStringLiteral(".Hidden Music"), QStringLiteral("Music Box"),
                              QStringLiteral("Music Notes"), QStringLiteral("NeteaseMusic")}));
        QCOMPARE(results[0].path, entryPath(QStringLiteral("netease-cloud-music")));
    }

    void queryApp_resultListFormat()
    {
        Host host(HostProfile::forLinuxDesktop(u"GNOME", m_home), m_catalogue);
        QVERIFY(host.pair());
        QCOMPARE(host.client->exchange("QUERY:APP:"), QByteArray("RESULT:APP:"));
        QCOMPARE(host.client->exchange("QUERY:APP:zzz-no-such"), QByteArray("RESULT:APP:"));
        QCOMPARE(host.client->exchange("QUERY:APP:Cloud"),
                 "RESULT:APP:NetEase Cloud Music::" +
                     entryPath(QStringLiteral("netease-cloud-music")).toUtf8());
        QCOMPARE(host.client->exchange("QUERY:APP:player|netease"), QByteArray("RESULT:APP:"));
        QCOMPARE(host.client->exchange("QUERY:APP:Music Box"),
                 "RESULT:APP:Music Box::" + m_home.toUtf8() + "/Applications/Music Box.AppImage");
        const QByteArray two = host.client->exchange("QUERY:APP:ease");
        QCOMPARE(two, "RESULT:APP:NetEase Cloud Music::" +
                          entryPath(QStringLiteral("netease-cloud-music")).toUtf8() +
                          "||NeteaseMusic::" + m_home.toUtf8() + "/AppImages/NeteaseMusic.AppImage");
    }

    void openApplication_resolvesNamesPathsAndAppImages()
    {
        Host host(HostProfile::forLinuxDesktop(u"GNOME", m_home), m_catalogue);
        const QString launches = path(QStringLiteral("launches"));
        QFile::remove(launches);
        const auto launchCount = [&] {
            QFile file(launches);
            return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
        };
        // By display name or id, ignoring case, and by the entry's file: GIO runs its Exec.
        host.actions.openApplication(QStringLiteral("launch PROBE"));
        QTRY_COMPARE_WITH_TIMEOUT(launchCount(), 1, 5000);
        host.actions.openApplication(QStringLiteral("LAUNCH-probe"));
        QTRY_COMPARE_WITH_TIMEOUT(launchCount(), 2, 5000);
        host.actions.openApplication(entryPath(QStringLiteral("launch-probe")));
        QTRY_COMPARE_WITH_TIMEOUT(launchCount(), 3, 5000);
        // A link to a listed entry is that entry; a copy the menus do not list starts nothing.
        const QString link = path(QStringLiteral("elsewhere.desktop"));
        QVERIFY(QFile::link(entryPath(QStringLiteral("launch-probe")), link));
        host.actions.openApplication(link);
        QTRY_COMPARE_WITH_TIMEOUT(launchCount(), 4, 5000);
        const QString copy = path(QStringLiteral(".hidden-copy.desktop"));
        QVERIFY(QFile::copy(entryPath(QStringLiteral("launch-probe")), copy));
        host.actions.openApplication(copy);
        // Part of a name opens the one entry that ranks first for it; other text nothing.
        host.actions.openApplication(QStringLiteral("Launch"));
        QTRY_COMPARE_WITH_TIMEOUT(launchCount(), 5, 5000);
        host.actions.openApplication(QStringLiteral("home/AppImages/NeteaseMusic.AppImage"));
        // An AppImage name that leads out of the application folders is not an application.
        const QString outside = path(QStringLiteral("outside.AppImage"));
        QVERIFY(writeFile(outside, "#!/bin/sh\n", true));
        QVERIFY(QFile::link(outside, m_home + QStringLiteral("/AppImages/Linked.AppImage")));
        host.actions.openApplication(m_home + QStringLiteral("/AppImages/Linked.AppImage"));
        QVERIFY(host.commands.empty());

        const QString executable = m_home + QStringLiteral("/AppImages/NeteaseMusic.AppImage");
        const QString plain = m_home + QStringLiteral("/AppImages/Music Notes.AppImage");
        host.actions.openApplication(executable);
        host.actions.openApplication(plain);
        host.actions.openApplication(QStringLiteral("/tmp/report.pdf"));
        // Only an executable AppImage directly inside an application folder starts; nothing
        // else is handed to the opener.
        QCOMPARE(host.commands, (std::vector<ToolCommand>{{executable, {}}}));
        spinEventLoop(200);
        QCOMPARE(launchCount(), 5);
    }

    void wake_callsSimulateUserActivityOnTheSessionBus()
    {
        if (m_busAddress.isEmpty()) {
            if (inCI())
                QFAIL("dbus-daemon is missing");
            QSKIP("dbus-daemon is missing");
        }
        QDBusConnection service = QDBusConnection::connectToBus(m_busAddress, QStringLiteral("screensaver"));
        QVERIFY(service.isConnected());
        ScreenSaverService screenSaver;
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &screenSaver,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));

        desktop::DBusUserActivity activity(
            QDBusConnection::connectToBus(m_busAddress, QStringLiteral("client")));
        activity.declareUserActivity(QStringLiteral("User Wake Requested"));
        activity.declareUserActivity(QStringLiteral("User Wake Requested"));
        QTRY_COMPARE_WITH_TIMEOUT(screenSaver.calls, 2, 5000);

        // Nobody answering is no error, and nothing waits for an answer.
        service.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
        QElapsedTimer timer;
        timer.start();
        activity.declareUserActivity(QStringLiteral("User Wake Requested"));
        desktop::DBusUserActivity(
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), QStringLiteral("nobus")))
            .declareUserActivity(QStringLiteral("User Wake Requested"));
        QVERIFY(timer.elapsed() < 500);
        QDBusConnection::disconnectFromBus(QStringLiteral("screensaver"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("nobus"));
    }
};

QTEST_GUILESS_MAIN(ActionsTest)
#include "tst_actions.moc"
