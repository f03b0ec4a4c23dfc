// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/ServiceNotice.h"

#include "app/ui/Fonts.h"
#include "app/ui/ViewContext.h"
#include "server/HostAddresses.h"
#include "server/Listener.h"
#include "server/RemoteServer.h"

namespace quillmote::ui {

ServiceNotice::ServiceNotice(RemoteServer& server, host::HostAddresses* addresses, QWidget* parent)
    : QLabel(parent), m_server(server), m_addresses(addresses)
{
    if (addresses)
        connect(addresses, &host::HostAddresses::openWifiChanged, this, &ServiceNotice::render);
    setFont(fonts::caption());
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    connect(&server, &RemoteServer::listenerStateChanged, this, &ServiceNotice::render);
    connect(&server, &RemoteServer::warningsChanged, this, &ServiceNotice::render);
    render();
}

void ServiceNotice::render()
{
    QStringList notices;
    if (isAdvertisingUnavailable(m_server))
        notices << tr("avahi-daemon 未运行，手机无法自动找到这台电脑。启动它：\nsudo systemctl enable --now "
                      "avahi-daemon");
    // Another program in the usual place would be handed the pairing code: say where we really are.
    const Listener* listener = m_server.listener();
    if (listener && listener->takenPort() != 0) {
        notices << tr("端口 %1 被另一个程序占用，本机改用端口 %2：手机须连接上面的地址，不要连 %1。")
                       .arg(listener->takenPort())
                       .arg(listener->port());
        if (const PortHolder& holder = listener->takenBy(); holder.mayBeAnotherUser())
            notices.last() += tr("占用者（%1）可能截获发往该端口的配对码，所以配对码已更换。")
                                  .arg(holder.uid ? holder.userName() : tr("未知用户"));
    }
    for (auto it = m_server.impostors().cbegin(); it != m_server.impostors().cend(); ++it)
        notices << tr("网络上另一个程序也叫“%1”（%2），那不是这台电脑；本机广播为“%3”。")
                       .arg(it.key(), it.value(), listener ? listener->advertisedName() : QString());
    if (m_addresses && !m_addresses->openWifi().isEmpty())
        notices << tr("这台电脑连接的 "
                      "Wi-Fi“%1”没有加密：附近的任何人都能看到手机应用发送的内容，包括配对码和输入的文字。")
                       .arg(m_addresses->openWifi());
    setText(notices.join(QStringLiteral("\n\n")));
    setVisible(!notices.isEmpty());
}

} // namespace quillmote::ui
