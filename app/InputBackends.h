// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "input/EventSink.h"

#include <QString>

#include <memory>

namespace quillmote {

// The backend named by --input: "auto" tries the candidates in order and takes the first one
// that is available; a named one that cannot be opened gives null and the reason. Logs its
// choice in one line.
std::unique_ptr<input::EventSink> createEventSink(const QString& choice, QString* error);

} // namespace quillmote
