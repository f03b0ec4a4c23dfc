// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
//
// Typing latency with the x11 backend on Xvfb: from a TYPE: sent by a paired client to the last
// character of the text in a focused X window of this process, for 10, 200 and 2,000 characters:
// text the layout has; Chinese, which it lacks, typed on spare keys lent for the moment; and the
// same Chinese with a line break, which is still pasted (fetched from the clipboard on Control+V,
// as an editor does). Against, in the same run and window: the floor for typed text, XTest key
// events for its characters sent from this process; and `xdotool type` with no delay, the usual
// way scripts type text, which maps a spare key for each character the layout lacks. Last, 200
// distinct Chinese characters, more than there are spare keys: typed in parts.
#include "BenchSupport.h"

#include <QByteArray>
#include <QString>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <poll.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using namespace bench;
using Clock = std::chrono::steady_clock;

namespace {

// A window that takes the focus and counts what arrives: a key that gives a character, or the
// characters of a clipboard it fetched on Control+V (Shift+Insert: the primary selection).
class Receiver
{
public:
    explicit Receiver(const std::string& display) : m_x(XOpenDisplay(display.c_str()))
    {
        if (!m_x)
            return;
        m_window = XCreateSimpleWindow(m_x, DefaultRootWindow(m_x), 0, 0, 400, 300, 0, 0, 0);
        XClassHint hint{const_cast<char*>("bench-editor"), const_cast<char*>("Bench-editor")};
        XSetClassHint(m_x, m_window, &hint);
        XSelectInput(m_x, m_window, KeyPressMask | StructureNotifyMask);
        XMapWindow(m_x, m_window);
        XEvent event;
        do
            XWindowEvent(m_x, m_window, StructureNotifyMask, &event);
        while (event.type != MapNotify);
        XSetInputFocus(m_x, m_window, RevertToParent, CurrentTime);
        m_property = XInternAtom(m_x, "BENCH_PASTE", False);
        m_utf8 = XInternAtom(m_x, "UTF8_STRING", False);
        m_clipboard = XInternAtom(m_x, "CLIPBOARD", False);
        XSync(m_x, False);
    }
    ~Receiver()
    {
        if (m_x)
            XCloseDisplay(m_x);
    }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;
    bool ok() const { return m_x != nullptr; }

    // Milliseconds from start until `characters` more have arrived; negative after timeoutMs.
    double waitFor(std::size_t characters, Clock::time_point start, int timeoutMs)
    {
        const std::size_t target = m_received + characters;
        const auto deadline = start + std::chrono::milliseconds(timeoutMs);
        while (m_received < target) {
            while (m_received < target && XPending(m_x)) {
                XEvent event;
                XNextEvent(m_x, &event);
                onEvent(event);
            }
            if (m_received >= target)
                break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return -1;
            pollfd fd{ConnectionNumber(m_x), POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(left.count()));
        }
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }

    // Takes what is still arriving (a late repeat, a text that timed out) out of the count.
    void drain(int quietMs)
    {
        for (pollfd fd{ConnectionNumber(m_x), POLLIN, 0}; XPending(m_x) || ::poll(&fd, 1, quietMs) > 0;) {
            XEvent event;
            XNextEvent(m_x, &event);
            onEvent(event);
        }
        m_received = 0;
    }

private:
    void onEvent(XEvent& event)
    {
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
        } else if (event.type == KeyPress) {
            char text[8];
            KeySym sym = NoSymbol;
            XLookupString(&event.xkey, text, sizeof text, &sym, nullptr);
            if ((event.xkey.state & ControlMask) && (sym == XK_v || sym == XK_V))
                paste(m_clipboard, event.xkey.time);
            else if ((event.xkey.state & ShiftMask) && sym == XK_Insert)
                paste(XA_PRIMARY, event.xkey.time);
            else if (!IsModifierKey(sym))
                ++m_received;
        } else if (event.type == SelectionNotify && event.xselection.property != None) {
            Atom type = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(m_x, m_window, m_property, 0, 1 << 20, True, AnyPropertyType, &type,
                                   &format, &count, &after, &data) == Success &&
                data) {
                for (unsigned long i = 0; i < count; ++i)
                    m_received += (data[i] & 0xC0) != 0x80; // UTF-8 characters, not bytes
                XFree(data);
            }
        }
    }

    void paste(Atom selection, Time time)
    {
        XConvertSelection(m_x, selection, m_utf8, m_property, m_window, time);
        XFlush(m_x);
    }

    Display* m_x = nullptr;
    Window m_window = 0;
    Atom m_property = None, m_utf8 = None, m_clipboard = None;
    std::size_t m_received = 0;
};

// n characters, the ten of a sample over and over.
std::string sample(const char* const* words, std::size_t n)
{
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        out += words[i % 10];
    return out;
}
const char* const typedCharacters[] = {"T", "h", "e", " ", "q", "u", "i", "c", "k", "."};
const char* const lentCharacters[] = {"键", "盘", "输", "入", "的", "文", "字", "测", "试", "。"};

// quietMs before each run: 1.7 s lets the lent keys go back (1.5 s after typing), so that each run
// lends them anew.
std::vector<double> viaQuillmote(Receiver& receiver, Client& client, const std::string& text, std::size_t n,
                                 int runs, int quietMs = 50)
{
    const std::string message = "TYPE:" + QByteArray::fromStdString(text).toBase64().toStdString();
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        receiver.drain(quietMs);
        const auto start = Clock::now();
        if (client.exchange(message) != "ACK_TYPE") {
            std::fprintf(stderr, "TYPE: was not acknowledged\n");
            std::exit(1);
        }
        ms.push_back(receiver.waitFor(n, start, 20'000));
    }
    return ms;
}

// ASCII as key events on the layout's keys, Shift held for capitals, flushed once per text.
std::vector<double> viaXTest(Receiver& receiver, const std::string& display, const std::string& text,
                             int runs)
{
    Display* x = XOpenDisplay(display.c_str());
    std::vector<double> ms;
    if (!x)
        return {-1};
    const KeyCode shift = XKeysymToKeycode(x, XK_Shift_L);
    for (int i = 0; i < runs; ++i) {
        receiver.drain(50);
        const auto start = Clock::now();
        for (const char c : text) {
            const KeyCode code =
                XKeysymToKeycode(x, static_cast<KeySym>(c)); // Latin-1 keysyms are the characters
            const bool upper = c >= 'A' && c <= 'Z';
            if (upper)
                XTestFakeKeyEvent(x, shift, True, CurrentTime);
            XTestFakeKeyEvent(x, code, True, CurrentTime);
            XTestFakeKeyEvent(x, code, False, CurrentTime);
            if (upper)
                XTestFakeKeyEvent(x, shift, False, CurrentTime);
        }
        XFlush(x);
        ms.push_back(receiver.waitFor(text.size(), start, 20'000));
    }
    XCloseDisplay(x);
    return ms;
}

std::vector<double> viaXdotool(Receiver& receiver, const std::string& display, const std::string& text,
                               std::size_t n, int runs)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        receiver.drain(50);
        const auto start = Clock::now();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("DISPLAY", display.c_str(), 1);
            ::execlp("xdotool", "xdotool", "type", "--delay", "0", "--", text.c_str(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ms.push_back(receiver.waitFor(n, start, 60'000));
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    return ms;
}

// The median in milliseconds; empty when some text did not arrive whole in time.
std::optional<double> median(std::vector<double> ms)
{
    if (ms.empty() || std::any_of(ms.begin(), ms.end(), [](double v) { return v < 0; }))
        return std::nullopt;
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

std::string shown(std::optional<double> ms)
{
    char out[32];
    std::snprintf(out, sizeof out, "%.1f", ms.value_or(0));
    return ms ? out : "incomplete";
}
} // namespace

int main()
{
    const std::string binary = requireServerBinary();
    XvfbProcess xvfb;
    requireDisplay(xvfb);
    Receiver receiver(xvfb.display());
    ServerProcess server(binary, {"--headless", "--input", "x11"}, {"DISPLAY=" + xvfb.display()});
    if (!receiver.ok() || !server.ready()) {
        std::fprintf(stderr, "the receiving window or the server did not start\n");
        return 1;
    }
    Client client(server.port());
    client.exchange("PAIR:" + server.code());

    std::printf("%-44s %10s %12s %12s %10s\n", "TYPE: -> whole text in the window, p50 (ms)", "quillmote",
                "XTest floor", "xdotool type", "vs floor");
    bool whole = true;
    for (const auto& [kind, words, lineBreak] :
         {std::tuple{"typed", typedCharacters, false},
          std::tuple{"Chinese, lent keys", lentCharacters, false},
          std::tuple{"Chinese + line break, pasted", lentCharacters, true}}) {
        for (const std::size_t sampled : {std::size_t{10}, std::size_t{200}, std::size_t{2000}}) {
            const std::string text = sample(words, sampled) + (lineBreak ? "\n" : "");
            const std::size_t n = sampled + lineBreak;
            const int runs = n == 2000 ? 5 : 15;
            const std::optional<double> ours = median(viaQuillmote(receiver, client, text, n, runs));
            const bool typed = words == typedCharacters;
            // Only typed text has a floor: no key gives these characters.
            const std::optional<double> floor =
                median(typed ? viaXTest(receiver, xvfb.display(), text, runs) : std::vector<double>{});
            const std::optional<double> scripted =
                median(viaXdotool(receiver, xvfb.display(), text, n, n == 2000 ? 3 : runs));
            whole = whole && ours;
            char label[64];
            std::snprintf(label, sizeof label, "%s, %zu characters", kind, sampled);
            std::printf("%-44s %10s %12s %12s", label, shown(ours).c_str(),
                        typed ? shown(floor).c_str() : "-", shown(scripted).c_str());
            if (ours && floor)
                std::printf(" %9.2fx", *ours / *floor);
            std::printf("\n");
        }
    }
    const std::optional<double> fresh =
        median(viaQuillmote(receiver, client, sample(lentCharacters, 200), 200, 5, 1700));
    whole = whole && fresh;
    std::printf("%-44s %10s %12s %12s\n", "Chinese, 200 characters, keys not lent yet", shown(fresh).c_str(),
                "-", "-");
    std::string distinct;
    for (char32_t c = 0x4e00; c < 0x4e00 + 200 * 37; c += 37)
        distinct += QString::fromUcs4(&c, 1).toStdString();
    const std::optional<double> parts = median(viaQuillmote(receiver, client, distinct, 200, 5));
    whole = whole && parts;
    std::printf("%-44s %10s %12s %12s\n", "Chinese, 200 distinct (in parts)", shown(parts).c_str(), "-", "-");
    std::printf("\n%-44s every text arrived whole: %s\n", "targets", whole ? "met" : "MISSED");
    return whole ? 0 : 1;
}
