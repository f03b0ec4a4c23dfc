// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "actions/AppCatalogue.h"

#include <memory>
#include <optional>

namespace quillmote::desktop {

// The desktop entries of the XDG data directories, as GIO reads them: only those the menus
// show (NoDisplay, Hidden, OnlyShowIn and NotShowIn are honoured), named in the user's
// language, sorted by name so that results do not depend on directory order.
//
// Reading every entry costs about 50 µs each, far too slow to repeat for every search while
// the event loop waits, so the list is kept until GIO's own monitor reports that the
// installed applications changed. Without a GLib event loop that report cannot arrive, and
// then nothing is kept.
class GioAppCatalogue : public actions::AppCatalogue
{
public:
    GioAppCatalogue();
    ~GioAppCatalogue() override;
    GioAppCatalogue(const GioAppCatalogue&) = delete;
    GioAppCatalogue& operator=(const GioAppCatalogue&) = delete;

    Snapshot applications() override;
    std::optional<QString> launch(const QString& path) override;

private:
    static Snapshot readAll();

    struct Monitor;
    std::unique_ptr<Monitor> m_monitor;
    Snapshot m_entries;
};

} // namespace quillmote::desktop
