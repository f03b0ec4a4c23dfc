// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "actions/AppCatalogue.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace quillmote::desktop {

// The desktop entries of the XDG data directories, as GIO reads them: only those the menus
// show (NoDisplay, Hidden, OnlyShowIn and NotShowIn are honoured), named in the user's
// language, sorted by name so that results do not depend on directory order.
//
// Reading every entry costs about 50 µs each, seconds for a large installation, so it is
// done on a thread of its own, at start and again whenever GIO's monitor reports that the
// installed applications changed; until a new list is read the last one is served. Without
// a GLib event loop that report cannot arrive, and then every call reads the list again.
class GioAppCatalogue : public actions::AppCatalogue
{
public:
    GioAppCatalogue();
    ~GioAppCatalogue() override;
    GioAppCatalogue(const GioAppCatalogue&) = delete;
    GioAppCatalogue& operator=(const GioAppCatalogue&) = delete;

    Snapshot applications() override;
    bool isLoaded() const override { return m_loaded; }
    void whenLoaded(std::function<void()> then) override;
    std::optional<QString> launch(const QString& path) override;

private:
    static Snapshot readAll();
    void startReading();
    void finishReading(Snapshot entries);

    struct Monitor;
    std::unique_ptr<Monitor> m_monitor;
    // Lives on the thread that made the catalogue, where readings are handed over.
    QObject m_receiver;
    std::thread m_reader;
    bool m_reading = false;
    bool m_readAgain = false; // the installed set changed while a reading ran
    bool m_loaded = false;
    Snapshot m_entries;
    std::vector<std::function<void()>> m_waiting;
};

} // namespace quillmote::desktop
