// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/ServiceNotice.h"

#include "app/ui/Fonts.h"
#include "app/ui/ViewContext.h"
#include "server/RemoteServer.h"

namespace quillmote::ui {

ServiceNotice::ServiceNotice(RemoteServer& server, QWidget* parent) : QLabel(parent), m_server(server)
{
    setFont(fonts::caption());
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setText(tr(
        "avahi-daemon 未运行，手机无法自动找到这台电脑。启动它：\nsudo systemctl enable --now avahi-daemon"));
    connect(&server, &RemoteServer::listenerStateChanged, this, &ServiceNotice::render);
    render();
}

void ServiceNotice::render()
{
    setVisible(isAdvertisingUnavailable(m_server));
}

} // namespace quillmote::ui
