// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/WebRemoteCard.h"

#include "app/ui/Card.h"
#include "app/ui/Fonts.h"
#include "web/QrCode.h"
#include "web/WebRemote.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtMath>

namespace quillmote::ui {

namespace {
constexpr int qrPixels = 112;
// The column less the layout's right margin.
constexpr int linkWidth = WebRemoteCard::columnWidth - 16;

// Black on white whatever the theme, with the quiet zone cameras need, in whole pixels per
// module so that the edges stay sharp.
QPixmap drawQrCode(const web::QrCode& code, qreal ratio)
{
    // The white card around it adds to the quiet zone.
    constexpr int quiet = 2;
    const int modules = code.size() + 2 * quiet;
    const int device = static_cast<int>(qrPixels * ratio);
    const int scale = std::max(1, device / modules);
    QImage image(modules, modules, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < code.size(); ++y) {
        for (int x = 0; x < code.size(); ++x) {
            if (code.dark(x, y))
                image.setPixel(x + quiet, y + quiet, qRgb(0, 0, 0));
        }
    }
    // Scaled without smoothing, each module stays a sharp square.
    image = image.scaled(modules * scale, modules * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}
} // namespace

WebRemoteCard::WebRemoteCard(web::WebRemote& remote, QWidget* parent) : QWidget(parent), m_remote(remote)
{
    setFixedWidth(columnWidth);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 12, 16, 12);
    layout->setSpacing(4);
    layout->addStretch();
    m_enabled = new QCheckBox(tr("浏览器遥控"), this);
    m_enabled->setFont(fonts::headline());
    layout->addWidget(m_enabled);
    auto* card = new Card(12, this);
    card->setFill(Qt::white);
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(6, 6, 6, 6);
    m_qr = new QLabel(card);
    m_qr->setFixedSize(qrPixels, qrPixels);
    m_qr->setAlignment(Qt::AlignCenter);
    cardLayout->addWidget(m_qr);
    layout->addWidget(card, 0, Qt::AlignHCenter);
    m_hint = new QLabel(this);
    m_hint->setFont(fonts::caption2());
    m_hint->setForegroundRole(QPalette::PlaceholderText);
    m_hint->setWordWrap(true);
    layout->addWidget(m_hint);
    // A link has no spaces to wrap at: shown whole, broken anywhere over the lines it needs, and
    // selected and copied whole.
    m_link = new QTextEdit(this);
    m_link->setReadOnly(true);
    m_link->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_link->setFrameShape(QFrame::NoFrame);
    m_link->setFont(fonts::caption2());
    m_link->viewport()->setAutoFillBackground(false);
    m_link->setWordWrapMode(QTextOption::WrapAnywhere);
    m_link->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_link->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_link->document()->setDocumentMargin(0);
    m_link->setFixedWidth(linkWidth);
    layout->addWidget(m_link);
    m_newLink = new QPushButton(tr("新链接"), this);
    m_newLink->setToolTip(tr("生成新的链接和二维码；使用旧链接的手机需要重新扫描"));
    layout->addWidget(m_newLink, 0, Qt::AlignRight);
    layout->addStretch();

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
    m_link->setPlainText(link);
    m_link->document()->setTextWidth(linkWidth);
    m_link->setFixedHeight(qCeil(m_link->document()->size().height()));
    m_link->setVisible(!link.isEmpty());
    if (link.isEmpty()) {
        m_qr->clear();
        m_hint->setText(m_remote.isEnabled() ? tr("浏览器遥控尚未启动") : tr("已关闭：手机浏览器无法连接"));
        return;
    }
    m_hint->setText(tr("用手机相机扫描"));
    m_qr->setPixmap(drawQrCode(web::QrCode::encode(link), devicePixelRatioF()));
}

} // namespace quillmote::ui
