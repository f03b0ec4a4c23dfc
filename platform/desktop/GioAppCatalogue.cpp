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
#include <utility>

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
    explicit Monitor(GioAppCatalogue& catalogue)
        : monitor(g_app_info_monitor_get()),
          handler(g_signal_connect(monitor.get(), "changed", G_CALLBACK(&Monitor::changed), &catalogue))
    {
    }
    ~Monitor() { g_signal_handler_disconnect(monitor.get(), handler); }
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    static void changed(GAppInfoMonitor*, gpointer catalogue)
    {
        static_cast<GioAppCatalogue*>(catalogue)->startReading();
    }

    std::unique_ptr<GAppInfoMonitor, ObjectDeleter> monitor;
    gulong handler;
};

GioAppCatalogue::GioAppCatalogue() : m_entries(std::make_shared<const std::vector<Entry>>())
{
    // GIO reports changes on the default main context, which only the GLib event dispatcher runs.
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher || !dispatcher->inherits("QEventDispatcherGlib")) {
        m_loaded = true;
        return;
    }
    m_monitor = std::make_unique<Monitor>(*this);
    startReading();
}

GioAppCatalogue::~GioAppCatalogue()
{
    // Before the receiver goes: the reader hands its list to it.
    if (m_reader.joinable())
        m_reader.join();
}

actions::AppCatalogue::Snapshot GioAppCatalogue::applications()
{
    return m_monitor ? m_entries : readAll();
}

void GioAppCatalogue::whenLoaded(std::function<void()> then)
{
    if (m_loaded)
        then();
    else
        m_waiting.push_back(std::move(then));
}

void GioAppCatalogue::startReading()
{
    if (m_reading) {
        m_readAgain = true;
        return;
    }
    if (m_reader.joinable())
        m_reader.join();
    m_reading = true;
    m_reader = std::thread([this] {
        Snapshot entries = readAll();
        QMetaObject::invokeMethod(
            &m_receiver,
            [this, entries = std::move(entries)]() mutable { finishReading(std::move(entries)); },
            Qt::QueuedConnection);
    });
}

void GioAppCatalogue::finishReading(Snapshot entries)
{
    m_reader.join(); // it has nothing left to do but end
    m_reading = false;
    m_entries = std::move(entries);
    m_loaded = true;
    // Reading the list also re-arms GIO's monitor, which reports one change per read: a
    // change during the reading may be missing from it.
    if (std::exchange(m_readAgain, false))
        startReading();
    for (const std::function<void()>& then : std::exchange(m_waiting, {}))
        then();
}

namespace {
// Any source GIO makes while reading stays on the reader's own context, off the event loop's.
class ThreadContext
{
public:
    ThreadContext() : m_context(g_main_context_new()) { g_main_context_push_thread_default(m_context); }
    ~ThreadContext()
    {
        g_main_context_pop_thread_default(m_context);
        g_main_context_unref(m_context);
    }
    ThreadContext(const ThreadContext&) = delete;
    ThreadContext& operator=(const ThreadContext&) = delete;

private:
    GMainContext* m_context;
};

bool isSettingsPanel(GDesktopAppInfo* info)
{
    if (g_desktop_app_info_has_key(info, "X-GNOME-Settings-Panel"))
        return true;
    const QStringList categories = QString::fromUtf8(g_desktop_app_info_get_categories(info))
                                       .split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return std::any_of(categories.begin(), categories.end(), [](const QString& category) {
        return category == QLatin1String("Settings") ||
               category.startsWith(QLatin1String("X-XFCE-SettingsDialog"));
    });
}
} // namespace

actions::AppCatalogue::Snapshot GioAppCatalogue::readAll()
{
    const ThreadContext context;
    std::vector<Entry> entries;
    const std::unique_ptr<GList, ListDeleter> all(g_app_info_get_all());
    for (GList* item = all.get(); item; item = item->next) {
        auto* info = static_cast<GAppInfo*>(item->data);
        if (!G_IS_DESKTOP_APP_INFO(info) || !g_app_info_should_show(info))
            continue;
        GDesktopAppInfo* desktop = G_DESKTOP_APP_INFO(info);
        const char* filename = g_desktop_app_info_get_filename(desktop);
        if (!filename)
            continue;
        const QString path = QString::fromUtf8(filename);
        QStringList keywords;
        if (const char* const* words = g_desktop_app_info_get_keywords(desktop)) {
            for (; *words; ++words)
                keywords << QString::fromUtf8(*words);
        }
        Entry entry;
        entry.name = QString::fromUtf8(g_app_info_get_name(info));
        entry.id = QFileInfo(path).completeBaseName();
        entry.path = path;
        entry.genericName = QString::fromUtf8(g_desktop_app_info_get_generic_name(desktop));
        entry.keywords = keywords;
        entry.settingsPanel = isSettingsPanel(desktop);
        fold(entry);
        entries.push_back(std::move(entry));
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
