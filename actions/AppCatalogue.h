// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quillmote::actions {

// The installed applications the desktop shows in its menus.
class AppCatalogue
{
public:
    struct Entry
    {
        QString name;         // as the desktop shows it, in the user's language
        QString id;           // the entry's file name without its extension
        QString path;         // the entry's file; what launch() takes
        QString genericName;  // what kind of program it is ("Text Editor"), in the user's language
        QStringList keywords; // further search words, in the user's language
        // A settings dialog or panel rather than an application of its own: among equally
        // good matches, the applications come first.
        bool settingsPanel = false;
        // The name, the id, then the generic name and keywords, lower-cased, one per line, and
        // where the first two end: filled where the list is read, so that no search folds.
        QString folded;
        qsizetype foldedNameEnd = 0;
        qsizetype foldedIdEnd = 0;

        QStringView foldedName() const { return QStringView(folded).first(foldedNameEnd); }
        QStringView foldedId() const
        {
            return QStringView(folded).sliced(foldedNameEnd + 1, foldedIdEnd - foldedNameEnd - 1);
        }
        QStringView foldedOther() const { return QStringView(folded).sliced(foldedIdEnd + 1); }
    };
    // Fills the entry's folded text; safe on any thread.
    static void fold(Entry& entry);

    using Snapshot = std::shared_ptr<const std::vector<Entry>>;

    virtual ~AppCatalogue() = default;
    // The current list, never null. A catalogue may keep it while nothing changes: the same
    // snapshot then comes back, so callers can keep what they derived from it until it is
    // replaced. A catalogue that reads in the background answers with an empty list until
    // its first reading is done.
    virtual Snapshot applications() = 0;
    // Whether the list has been read at least once.
    virtual bool isLoaded() const = 0;
    // Calls then on this thread once the list has been read: at once when it has been.
    virtual void whenLoaded(std::function<void()> then) = 0;
    // Starts the application the entry file at path describes, without waiting for it.
    // Returns the reason when that failed.
    virtual std::optional<QString> launch(const QString& path) = 0;
};

} // namespace quillmote::actions
