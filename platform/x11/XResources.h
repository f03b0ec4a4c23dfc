// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#pragma once

#include "platform/x11/X11Connection.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xrandr.h>

#include <memory>

namespace quillmote::x11 {

// Owners of what Xlib hands out, each released the way Xlib wants; for .cpp files only, after
// every Qt header.

struct XFreeDeleter
{
    void operator()(void* data) const { XFree(data); }
};
template <typename T> using XData = std::unique_ptr<T, XFreeDeleter>;

struct MonitorsDeleter
{
    void operator()(XRRMonitorInfo* monitors) const { XRRFreeMonitors(monitors); }
};
using Monitors = std::unique_ptr<XRRMonitorInfo, MonitorsDeleter>;

struct DeviceInfoDeleter
{
    void operator()(XIDeviceInfo* devices) const { XIFreeDeviceInfo(devices); }
};
using DeviceInfo = std::unique_ptr<XIDeviceInfo, DeviceInfoDeleter>;

} // namespace quillmote::x11
