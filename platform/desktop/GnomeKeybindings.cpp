// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/desktop/GnomeKeybindings.h"

#include <gio/gio.h>

#include <memory>

namespace quillmote::desktop {

namespace {
struct Unref
{
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
    void operator()(GSettings* settings) const { g_object_unref(settings); }
    void operator()(gchar** strings) const { g_strfreev(strings); }
};
constexpr const char* schemaId = "org.gnome.desktop.wm.keybindings";
constexpr const char* key = "show-desktop";
} // namespace

QStringList gnomeShowDesktopKeys()
{
    // g_settings_new aborts the process on a schema that is not installed: look it up first.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return {};
    const std::unique_ptr<GSettingsSchema, Unref> schema(
        g_settings_schema_source_lookup(source, schemaId, TRUE));
    if (!schema || !g_settings_schema_has_key(schema.get(), key))
        return {};
    const std::unique_ptr<GSettings, Unref> settings(g_settings_new_full(schema.get(), nullptr, nullptr));
    const std::unique_ptr<gchar*, Unref> keys(g_settings_get_strv(settings.get(), key));
    QStringList result;
    for (gchar** k = keys.get(); k && *k; ++k)
        result << QString::fromUtf8(*k);
    return result;
}

} // namespace quillmote::desktop
