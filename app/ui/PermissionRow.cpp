// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/PermissionRow.h"

#include "app/ui/Fonts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmote::ui {

PermissionRow::PermissionRow(const QString& title, const QString& description, Symbol icon,
                             std::function<void()> action, QWidget* parent)
    : QWidget(parent), m_action(std::move(action)),
      m_check(new SymbolLabel(Symbol::CheckCircle, colors::green, 24, this)),
      m_progress(new QProgressBar(this)), m_button(new QPushButton(tr("去授权"), this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);

    auto* symbol = new SymbolLabel(icon, colors::blue, 24, this);
    auto* iconFrame = new QWidget(this);
    iconFrame->setFixedWidth(32);
    auto* iconLayout = new QHBoxLayout(iconFrame);
    iconLayout->setContentsMargins(0, 0, 0, 0);
    iconLayout->addWidget(symbol, 0, Qt::AlignCenter);
    row->addWidget(iconFrame);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* titleLabel = new QLabel(title, this);
    titleLabel->setFont(fonts::headline());
    m_description = new QLabel(description, this);
    m_description->setFont(fonts::caption());
    m_description->setForegroundRole(QPalette::PlaceholderText);
    m_description->setWordWrap(true);
    texts->addWidget(titleLabel);
    texts->addWidget(m_description);
    row->addLayout(texts, 1);

    // An indeterminate bar at half the usual size stands for the spinner.
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setFixedSize(40, 8);
    row->addWidget(m_check);
    row->addWidget(m_progress);
    row->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, [this] {
        if (m_action)
            m_action();
    });
    render();
}

void PermissionRow::setDescription(const QString& description)
{
    m_description->setText(description);
}

QString PermissionRow::description() const
{
    return m_description->text();
}

void PermissionRow::setGranted(bool granted)
{
    m_granted = granted;
    render();
}

void PermissionRow::setLoading(bool loading)
{
    m_loading = loading;
    render();
}

PermissionRow::Status PermissionRow::status() const
{
    if (m_granted)
        return Status::Granted;
    return m_loading ? Status::Loading : Status::Button;
}

void PermissionRow::render()
{
    const Status shown = status();
    m_check->setVisible(shown == Status::Granted);
    m_progress->setVisible(shown == Status::Loading);
    m_button->setVisible(shown == Status::Button);
}

} // namespace quillmote::ui
