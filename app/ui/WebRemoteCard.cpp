// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/WebRemoteCard.h"

#include "app/ui/Fonts.h"
#include "web/QrCode.h"
#include "web/WebRemote.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmote::ui {

namespace {
constexpr int qrPixels = 116;

// Black on white whatever the theme, with the quiet zone cameras need, in whole pixels per
// module so that the edges stay sharp.
QPixmap drawQrCode(const web::QrCode& code, qreal ratio)
{
    constexpr int quiet = 3;
    const int modules = code.size() + 2 * quiet;
    const int device = static_cast<int>(qrPixels * ratio);
    const int scale = std::max(1, device / modules);
    QImage image(modules * scale, modules * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < code.size(); ++y) {
        for (int x = 0; x < code.size(); ++x) {
            if (!code.dark(x, y))
                continue;
            for (int dy = 0; dy < scale; ++dy)
                for (int dx = 0; dx < scale; ++dx)
                    image.setPixel((x + quiet) * scale + dx, (y + quiet) * scale + dy, qRgb(0, 0, 0));
        }
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}
} // namespace

WebRemoteCard::WebRemoteCard(web::WebRemote& remote, QWidget* parent) : Card(14, parent), m_remote(remote)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 10, 12, 10);
    layout->setSpacing(12);
    m_qr = new QLabel(this);
    m_qr->setFixedSize(qrPixels, qrPixels);
    m_qr->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_qr);

    auto* side = new QVBoxLayout;
    side->setSpacing(4);
    m_enabled = new QCheckBox(tr("浏览器遥控"), this);
    m_enabled->setFont(fonts::headline());
    side->addWidget(m_enabled);
    m_hint = new QLabel(this);
    m_hint->setFont(fonts::caption());
    m_hint->setForegroundRole(QPalette::PlaceholderText);
    m_hint->setWordWrap(true);
    side->addWidget(m_hint);
    m_link = new QLabel(this);
    m_link->setFont(fonts::caption2());
    m_link->setWordWrap(true);
    m_link->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    side->addWidget(m_link);
    side->addStretch();
    m_newLink = new QPushButton(tr("新链接"), this);
    m_newLink->setToolTip(tr("生成新的链接和二维码；使用旧链接的手机需要重新扫描"));
    side->addWidget(m_newLink, 0, Qt::AlignLeft);
    layout->addLayout(side, 1);

    connect(m_enabled, &QCheckBox::toggled, this, [this](bool enabled) { m_remote.setEnabled(enabled); });
    connect(m_newLink, &QPushButton::clicked, this, [this] { m_remote.newLink(); });
    connect(&m_remote, &web::WebRemote::linkChanged, this, &WebRemoteCard::render);
    render();
}

void WebRemoteCard::render()
{
    const QString link = m_remote.link();
    {
        const QSignalBlocker blocker(m_enabled);
        m_enabled->setChecked(m_remote.isEnabled());
    }
    m_newLink->setEnabled(!link.isEmpty());
    m_link->setText(link);
    if (link.isEmpty()) {
        m_qr->clear();
        m_hint->setText(m_remote.isEnabled() ? tr("浏览器遥控尚未启动") : tr("已关闭：手机浏览器无法连接"));
        return;
    }
    m_hint->setText(tr("用手机相机扫描二维码，在浏览器中打开触控板"));
    m_qr->setPixmap(drawQrCode(web::QrCode::encode(link), devicePixelRatioF()));
}

} // namespace quillmote::ui
