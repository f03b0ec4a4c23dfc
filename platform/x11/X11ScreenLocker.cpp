// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/x11/X11ScreenLocker.h"

#include "platform/x11/X11WindowManager.h"
#include "platform/x11/XResources.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>

namespace quillmote::x11::screenlocker {

State state(Display* display)
{
    const std::vector<long> status =
        X11WindowManager::property(display, DefaultRootWindow(display), "_SCREENSAVER_STATUS", XA_INTEGER, 1);
    if (status.empty() || status.front() == 0)
        return State::Awake;
    const auto is = [&](const char* name) {
        const Atom atom = XInternAtom(display, name, True);
        return atom != None && static_cast<Atom>(status.front()) == atom;
    };
    return is("LOCK") ? State::Locked : is("BLANK") ? State::Blank : State::Awake;
}

bool dialogShown(Display* display, const std::vector<input::Rect>& monitors)
{
    Window root = None, parent = None;
    Window* rawChildren = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &rawChildren, &count))
        return false;
    const XData<Window> children(rawChildren);
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, children.get()[i], &attributes) ||
            attributes.map_state != IsViewable || !attributes.override_redirect || attributes.width <= 1)
            continue;
        XClassHint hint{};
        if (!XGetClassHint(display, children.get()[i], &hint))
            continue;
        const XData<char> name(hint.res_name);
        const XData<char> windowClass(hint.res_class);
        if (!windowClass || std::strcmp(windowClass.get(), "XScreenSaver") != 0)
            continue;
        const bool blanking = std::any_of(monitors.begin(), monitors.end(), [&](const input::Rect& monitor) {
            return monitor.width == attributes.width && monitor.height == attributes.height;
        });
        if (!blanking && attributes.width < WidthOfScreen(attributes.screen))
            return true;
    }
    return false;
}

} // namespace quillmote::x11::screenlocker
