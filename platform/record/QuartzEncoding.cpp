// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "platform/record/QuartzEncoding.h"

#include <linux/input-event-codes.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

namespace quillmote::record {

namespace {
// Virtual key codes of the ANSI keyboard, by the evdev key at the same place.
struct KeyRow
{
    std::uint16_t key;
    std::uint16_t virtualKey;
};
constexpr KeyRow virtualKeys[] = {
    {KEY_ESC, 0x35},        {KEY_1, 0x12},          {KEY_2, 0x13},          {KEY_3, 0x14},
    {KEY_4, 0x15},          {KEY_5, 0x17},          {KEY_6, 0x16},          {KEY_7, 0x1A},
    {KEY_8, 0x1C},          {KEY_9, 0x19},          {KEY_0, 0x1D},          {KEY_MINUS, 0x1B},
    {KEY_EQUAL, 0x18},      {KEY_BACKSPACE, 0x33},  {KEY_TAB, 0x30},        {KEY_Q, 0x0C},
    {KEY_W, 0x0D},          {KEY_E, 0x0E},          {KEY_R, 0x0F},          {KEY_T, 0x11},
    {KEY_Y, 0x10},          {KEY_U, 0x20},          {KEY_I, 0x22},          {KEY_O, 0x1F},
    {KEY_P, 0x23},          {KEY_LEFTBRACE, 0x21},  {KEY_RIGHTBRACE, 0x1E}, {KEY_ENTER, 0x24},
    {KEY_LEFTCTRL, 0x37},   {KEY_A, 0x00},          {KEY_S, 0x01},          {KEY_D, 0x02},
    {KEY_F, 0x03},          {KEY_G, 0x05},          {KEY_H, 0x04},          {KEY_J, 0x26},
    {KEY_K, 0x28},          {KEY_L, 0x25},          {KEY_SEMICOLON, 0x29},  {KEY_APOSTROPHE, 0x27},
    {KEY_GRAVE, 0x32},      {KEY_LEFTSHIFT, 0x38},  {KEY_BACKSLASH, 0x2A},  {KEY_Z, 0x06},
    {KEY_X, 0x07},          {KEY_C, 0x08},          {KEY_V, 0x09},          {KEY_B, 0x0B},
    {KEY_N, 0x2D},          {KEY_M, 0x2E},          {KEY_COMMA, 0x2B},      {KEY_DOT, 0x2F},
    {KEY_SLASH, 0x2C},      {KEY_RIGHTSHIFT, 0x3C}, {KEY_KPASTERISK, 0x43}, {KEY_LEFTALT, 0x3A},
    {KEY_SPACE, 0x31},      {KEY_CAPSLOCK, 0x39},   {KEY_F1, 0x7A},         {KEY_F2, 0x78},
    {KEY_F3, 0x63},         {KEY_F4, 0x76},         {KEY_F5, 0x60},         {KEY_F6, 0x61},
    {KEY_F7, 0x62},         {KEY_F8, 0x64},         {KEY_F9, 0x65},         {KEY_F10, 0x6D},
    {KEY_NUMLOCK, 0x47},    {KEY_KP7, 0x59},        {KEY_KP8, 0x5B},        {KEY_KP9, 0x5C},
    {KEY_KPMINUS, 0x4E},    {KEY_KP4, 0x56},        {KEY_KP5, 0x57},        {KEY_KP6, 0x58},
    {KEY_KPPLUS, 0x45},     {KEY_KP1, 0x53},        {KEY_KP2, 0x54},        {KEY_KP3, 0x55},
    {KEY_KP0, 0x52},        {KEY_KPDOT, 0x41},      {KEY_102ND, 0x0A},      {KEY_F11, 0x67},
    {KEY_F12, 0x6F},        {KEY_KPENTER, 0x4C},    {KEY_RIGHTCTRL, 0x36},  {KEY_KPSLASH, 0x4B},
    {KEY_RIGHTALT, 0x3D},   {KEY_HOME, 0x73},       {KEY_UP, 0x7E},         {KEY_PAGEUP, 0x74},
    {KEY_LEFT, 0x7B},       {KEY_RIGHT, 0x7C},      {KEY_END, 0x77},        {KEY_DOWN, 0x7D},
    {KEY_PAGEDOWN, 0x79},   {KEY_INSERT, 0x72},     {KEY_DELETE, 0x75},     {KEY_MUTE, 0x4A},
    {KEY_VOLUMEDOWN, 0x49}, {KEY_VOLUMEUP, 0x48},   {KEY_KPEQUAL, 0x51},    {KEY_LEFTMETA, 0x3B},
    {KEY_RIGHTMETA, 0x3E},  {KEY_F13, 0x69},        {KEY_F14, 0x6B},        {KEY_F15, 0x71},
    {KEY_F16, 0x6A},        {KEY_F17, 0x40},        {KEY_F18, 0x4F},        {KEY_F19, 0x50},
    {KEY_F20, 0x5A},
};

// Modifier flag masks: Command, Shift, Option and Control stand for Control, Shift, Alt and Super.
constexpr std::uint64_t commandMask = 0x100000;
constexpr std::uint64_t shiftMask = 0x20000;
constexpr std::uint64_t optionMask = 0x80000;
constexpr std::uint64_t controlMask = 0x40000;

// Auxiliary-key types of the system-defined media-key events.
struct MediaRow
{
    std::uint16_t key;
    std::int32_t keyType;
};
constexpr MediaRow mediaKeyTypes[] = {
    {KEY_VOLUMEUP, 0}, {KEY_VOLUMEDOWN, 1}, {KEY_BRIGHTNESSUP, 2}, {KEY_BRIGHTNESSDOWN, 3},
    {KEY_MUTE, 7},     {KEY_PLAYPAUSE, 16}, {KEY_NEXTSONG, 17},    {KEY_PREVIOUSSONG, 18},
};
constexpr int auxiliaryKeySubtype = 8;
constexpr std::int32_t keyDownState = 0xa00;
constexpr std::int32_t keyUpState = 0xb00;

enum MouseType {
    LeftDown = 1,
    LeftUp = 2,
    RightDown = 3,
    RightUp = 4,
    Moved = 5,
    LeftDragged = 6,
    OtherDown = 25,
    OtherUp = 26
};

std::optional<std::uint16_t> virtualKeyOf(std::uint16_t key)
{
    for (const KeyRow& row : virtualKeys) {
        if (row.key == key)
            return row.virtualKey;
    }
    return std::nullopt;
}

std::optional<std::int32_t> mediaKeyTypeOf(std::uint16_t key)
{
    for (const MediaRow& row : mediaKeyTypes) {
        if (row.key == key)
            return row.keyType;
    }
    return std::nullopt;
}

std::uint64_t flagsOf(input::ModifierSet modifiers)
{
    std::uint64_t flags = 0;
    if (modifiers & input::Control)
        flags |= commandMask;
    if (modifiers & input::Shift)
        flags |= shiftMask;
    if (modifiers & input::Alt)
        flags |= optionMask;
    if (modifiers & input::Super)
        flags |= controlMask;
    return flags;
}

// Shortest text that reads back as the same double, always with a fraction part ("970.0").
QByteArray real(double value)
{
    if (!std::isfinite(value))
        return "null"; // JSON has no infinities; the controller never posts them anyway
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QByteArray text(buffer, result.ptr - buffer);
    if (!text.contains('.') && !text.contains('e'))
        text += ".0";
    return text;
}

QByteArray jsonString(const QString& text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += QByteArray("\\u00") + QByteArray::number(byte, 16).rightJustified(2, '0');
        } else {
            out += c;
        }
    }
    return out + '"';
}

template <typename T> QByteArray num(T value)
{
    return QByteArray::number(value);
}

QByteArray mouseLine(int type, input::Point at, int button, std::int64_t clickState, std::int64_t deltaX,
                     std::int64_t deltaY, double deltaXf, double deltaYf)
{
    return "{\"event\":\"mouse\",\"type\":" + num(type) + ",\"x\":" + real(at.x) + ",\"y\":" + real(at.y) +
           ",\"button\":" + num(button) + ",\"clickState\":" + num(clickState) +
           ",\"deltaX\":" + num(deltaX) + ",\"deltaY\":" + num(deltaY) + ",\"deltaXf\":" + real(deltaXf) +
           ",\"deltaYf\":" + real(deltaYf) + "}";
}

QByteArray line(const input::PointerMotion& e)
{
    // The controller posts only deltas that fit 64 bits.
    return mouseLine(e.dragging ? LeftDragged : Moved, e.to, 0, 0, static_cast<std::int64_t>(e.dx),
                     static_cast<std::int64_t>(e.dy), e.dx, e.dy);
}

QByteArray line(const input::ButtonChange& e)
{
    switch (e.button) {
    case input::Button::Left:
        return mouseLine(e.down ? LeftDown : LeftUp, e.at, 0, e.clickCount, 0, 0, 0, 0);
    case input::Button::Right:
        return mouseLine(e.down ? RightDown : RightUp, e.at, 1, e.clickCount, 0, 0, 0, 0);
    case input::Button::Middle:
        return mouseLine(e.down ? OtherDown : OtherUp, e.at, 2, e.clickCount, 0, 0, 0, 0);
    }
    return {};
}

QByteArray line(const input::WheelScroll& e)
{
    return "{\"event\":\"scroll\",\"unit\":0,\"wheel1\":" + num(e.vertical) +
           ",\"wheel2\":" + num(e.horizontal) + ",\"wheel3\":0}";
}

QByteArray line(const input::KeyChange& e)
{
    const std::optional<std::uint16_t> virtualKey = virtualKeyOf(e.key);
    if (!virtualKey)
        return {};
    return "{\"event\":\"key\",\"keyCode\":" + num(*virtualKey) + ",\"down\":" + (e.down ? "true" : "false") +
           ",\"flags\":" + num(flagsOf(e.modifiers)) + "}";
}

QByteArray line(const input::MediaKey& e)
{
    const std::optional<std::int32_t> keyType = mediaKeyTypeOf(e.key);
    if (!keyType)
        return {};
    const std::int32_t state = e.down ? keyDownState : keyUpState;
    // data1 is formed in 32 bits and widened with its sign.
    const auto data1 = static_cast<std::int64_t>(static_cast<std::int32_t>(
        (static_cast<std::uint32_t>(*keyType) << 16) | static_cast<std::uint32_t>(state)));
    return "{\"event\":\"system\",\"subtype\":" + num(auxiliaryKeySubtype) + ",\"data1\":" + num(data1) +
           ",\"data2\":-1,\"flags\":" + num(state) + "}";
}

QByteArray line(const input::ClipboardText& e)
{
    return "{\"event\":\"clipboard\",\"text\":" + jsonString(e.text) + "}";
}
} // namespace

QByteArray recordLine(const input::Event& event)
{
    return std::visit([](const auto& e) { return line(e); }, event);
}

} // namespace quillmote::record
