// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

namespace quillmote {

// Whether a window can be shown: a Qt platform that needs no display was asked for, or the
// Wayland socket or the X display of this session answers. Qt itself would abort without one.
bool graphicalSessionAvailable();

} // namespace quillmote
