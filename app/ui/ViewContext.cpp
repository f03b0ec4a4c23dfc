// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/ViewContext.h"

#include "input/InputAccess.h"
#include "server/Listener.h"
#include "server/PairingGate.h"
#include "server/RemoteServer.h"
#include "server/ServerStatus.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

namespace quillmote::ui {

void observeServer(const ViewContext& viewContext, QObject* context, const std::function<void()>& update)
{
    QObject::connect(&viewContext.gate, &PairingGate::pairingCodeChanged, context, update);
    QObject::connect(&viewContext.server, &RemoteServer::listenerStateChanged, context, update);
    QObject::connect(&viewContext.status, &ServerStatus::connectionStatusChanged, context, update);
    QObject::connect(&viewContext.status, &ServerStatus::isConnectedChanged, context, update);
    QObject::connect(&viewContext.access, &input::InputAccess::accessChanged, context, update);
}

void onApplicationActivated(QObject* context, const std::function<void()>& action)
{
    QObject::connect(qGuiApp, &QGuiApplication::applicationStateChanged, context,
                     [action](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive)
                             action();
                     });
}

bool isAdvertisingUnavailable(const RemoteServer& server)
{
    return server.listener() && server.listener()->state() == ListenerState::Waiting;
}

bool isListenerReady(const RemoteServer& server)
{
    return server.listener() && server.listener()->state() == ListenerState::Ready;
}

QString applicationVersion()
{
    return QCoreApplication::applicationVersion();
}

QUrl inputAccessHelpPage()
{
    // Next to the executable in the build tree, under share/ once installed.
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {dir + QStringLiteral("/share/quillmote/input-access.html"),
                                     dir + QStringLiteral("/../share/quillmote/input-access.html")}) {
        if (QFileInfo::exists(candidate))
            return QUrl::fromLocalFile(QFileInfo(candidate).canonicalFilePath());
    }
    return QUrl(QString::fromLatin1(homePage));
}

QString lockScreenText(input::InputAccess::State state)
{
    using Access = input::InputAccess::State;
    constexpr const char* context = "quillmote::ui::LockScreen";
    switch (state) {
    case Access::Locked:
        return QCoreApplication::translate(context, "屏幕已锁定：解锁后恢复远程输入");
    case Access::Shielded:
        return QCoreApplication::translate(context, "屏幕已锁定：远程输入经由 uinput 继续");
    case Access::LockedOut:
        return QCoreApplication::translate(
            context, "屏幕已锁定，本机不允许锁屏时远程输入：运行 sudo udevadm trigger 并重新登录即可允许");
    default:
        return {};
    }
}

} // namespace quillmote::ui
