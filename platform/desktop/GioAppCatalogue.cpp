// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/desktop/GioAppCatalogue.h"

#include <QAbstractEventDispatcher>
#include <QCollator>
#include <QFile>
#include <QFileInfo>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <algorithm>
#include <memory>

namespace quillmote::desktop {

namespace {
struct ObjectDeleter
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct ListDeleter
{
    void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};
struct ErrorDeleter
{
    void operator()(GError* error) const { g_error_free(error); }
};
} // namespace

// GIO's "changed" signal, connected for as long as this catalogue lives.
struct GioAppCatalogue::Monitor
{
    explicit Monitor(Snapshot& entries)
        : monitor(g_app_info_monitor_get()),
          handler(g_signal_connect(monitor.get(), "changed", G_CALLBACK(&Monitor::changed), &entries))
    {
    }
    ~Monitor() { g_signal_handler_disconnect(monitor.get(), handler); }
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    static void changed(GAppInfoMonitor*, gpointer entries) { static_cast<Snapshot*>(entries)->reset(); }

    std::unique_ptr<GAppInfoMonitor, ObjectDeleter> monitor;
    gulong handler;
};

GioAppCatalogue::GioAppCatalogue()
{
    // GIO reports changes on the default main context, which only the GLib event dispatcher runs.
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher && dispatcher->inherits("QEventDispatcherGlib"))
        m_monitor = std::make_unique<Monitor>(m_entries);
}

GioAppCatalogue::~GioAppCatalogue() = default;

actions::AppCatalogue::Snapshot GioAppCatalogue::applications()
{
    if (!m_monitor)
        return readAll();
    // Reading the list also re-arms GIO's monitor, which reports one change per read.
    if (!m_entries)
        m_entries = readAll();
    return m_entries;
}

actions::AppCatalogue::Snapshot GioAppCatalogue::readAll()
{
    std::vector<Entry> entries;
    const std::unique_ptr<GList, ListDeleter> all(g_app_info_get_all());
    for (GList* item = all.get(); item; item = item->next) {
        auto* info = static_cast<GAppInfo*>(item->data);
        if (!G_IS_DESKTOP_APP_INFO(info) || !g_app_info_should_show(info))
            continue;
        const char* filename = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info));
        if (!filename)
            continue;
        const QString path = QString::fromUtf8(filename);
        QStringList keywords;
        if (const char* const* words = g_desktop_app_info_get_keywords(G_DESKTOP_APP_INFO(info))) {
            for (; *words; ++words)
                keywords << QString::fromUtf8(*words);
        }
        entries.push_back(
            {QString::fromUtf8(g_app_info_get_name(info)), QFileInfo(path).completeBaseName(), path,
             QString::fromUtf8(g_desktop_app_info_get_generic_name(G_DESKTOP_APP_INFO(info))), keywords});
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        const int order = collator.compare(a.name, b.name);
        return order != 0 ? order < 0 : a.path < b.path;
    });
    return std::make_shared<const std::vector<Entry>>(std::move(entries));
}

std::optional<QString> GioAppCatalogue::launch(const QString& path)
{
    const std::unique_ptr<GDesktopAppInfo, ObjectDeleter> info(
        g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData()));
    if (!info)
        return QStringLiteral("not a readable desktop entry");
    GError* rawError = nullptr;
    if (!g_app_info_launch(G_APP_INFO(info.get()), nullptr, nullptr, &rawError)) {
        const std::unique_ptr<GError, ErrorDeleter> error(rawError);
        return error ? QString::fromUtf8(error->message) : QStringLiteral("launch failed");
    }
    return std::nullopt;
}

} // namespace quillmote::desktop
