// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include <QString>

namespace quillmote::actions {

// Tells the session that the user is active, which wakes a blanked display. Fire and forget:
// a session without anyone listening is not an error worth reporting.
class UserActivity
{
public:
    virtual ~UserActivity() = default;
    virtual void simulateUserActivity() = 0;
};

} // namespace quillmote::actions
