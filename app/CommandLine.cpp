// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/CommandLine.h"

namespace quillmote {

namespace {
const QStringList inputBackends = {QStringLiteral("auto"),   QStringLiteral("x11"),
                                   QStringLiteral("portal"), QStringLiteral("uinput"),
                                   QStringLiteral("none"),   QStringLiteral("record:FILE")};

// The value of "NAME VALUE" or "NAME=VALUE" at arguments[i] (advancing i past a separate
// value); a null string when the value is missing; nothing when the argument is another one.
std::optional<QString> optionValue(const QStringList& arguments, qsizetype& i, QStringView name)
{
    const QString& argument = arguments[i];
    if (argument.startsWith(name) && argument.mid(name.size()).startsWith(u'='))
        return argument.mid(name.size() + 1);
    if (argument != name)
        return std::nullopt;
    return i + 1 < arguments.size() ? arguments[++i] : QString();
}

std::optional<InputChoice> inputChoice(const QString& value)
{
    using Backend = InputChoice::Backend;
    constexpr QLatin1StringView record("record:");
    if (value.startsWith(record)) {
        if (value.size() == record.size())
            return std::nullopt;
        return InputChoice{Backend::Record, value.mid(record.size())};
    }
    static const std::pair<QLatin1StringView, Backend> names[] = {
        {QLatin1StringView("auto"), Backend::Auto},
        {QLatin1StringView("x11"), Backend::X11},
        {QLatin1StringView("portal"), Backend::Portal},
        {QLatin1StringView("uinput"), Backend::Uinput},
        {QLatin1StringView("none"), Backend::None}};
    for (const auto& [name, backend] : names) {
        if (value == name)
            return InputChoice{backend, {}};
    }
    return std::nullopt;
}
} // namespace

QString usageText()
{
    return QStringLiteral(
               "Usage: quillmote [--headless] [--input BACKEND] [--port N] [--web-port N|off] [--minimized]\n"
               "                 [--show-link] [--verbose]\n"
               "       quillmote --allow N | --deny N | --new-link\n"
               "\n"
               "Remote control for this desktop: a phone finds it on the local network, pairs with\n"
               "the six-digit code it shows, and drives the pointer and keyboard.\n"
               "\n"
               "  --headless         no user interface; the server starts at once and reports on\n"
               "                     standard output\n"
               "  --input BACKEND    how input events are posted: auto (default: x11 in an X11\n"
               "                     session; portal, through libei where it offers that,\n"
               "                     else uinput in a Wayland session; else none), x11,\n"
               "                     portal (its own calls only), uinput, none, or\n"
               "                     record:FILE (append each event to FILE as a JSON line)\n"
               "  --port N           listen on TCP port N (0: one the system chooses); default: the\n"
               "                     Port setting, else %1, or one the system chooses when taken\n"
               "  --web-port N|off   the browser remote's port (0: one the system chooses);\n"
               "                     default: the WebPort setting, else %2; off: no browser\n"
               "                     remote this time\n"
               "  --minimized        start in the tray without opening the window (login start)\n"
               "  --show-link        with --headless: print the browser remote's link with its\n"
               "                     secret, and its QR code (else its address alone)\n"
               "  --verbose          trace what each part does on standard error (see\n"
               "                     QT_LOGGING_RULES for a part alone)\n"
               "  --allow N          let the new device of the running server's request N pair\n"
               "                     (the request is printed when the device sends the code)\n"
               "  --deny N           refuse it\n"
               "  --new-link         draw a new browser remote link in the running server: every\n"
               "                     browser paired with the old one is cut off\n"
               "  --help             show this text\n"
               "  --version          show the version\n")
        .arg(QUILLMOTE_DEFAULT_PORT)
        .arg(QUILLMOTE_DEFAULT_WEB_PORT);
}

CommandLineResult parseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.action = CommandLine::Action::Help;
        } else if (argument == QLatin1String("--version")) {
            line.action = CommandLine::Action::Version;
        } else if (argument == QLatin1String("--headless")) {
            line.headless = true;
        } else if (argument == QLatin1String("--minimized")) {
            line.minimized = true;
        } else if (argument == QLatin1String("--verbose")) {
            line.verbose = true;
        } else if (argument == QLatin1String("--new-link")) {
            line.action = CommandLine::Action::NewLink;
        } else if (argument == QLatin1String("--show-link")) {
            line.showLink = true;
        } else if (const std::optional<QString> answer = optionValue(arguments, i, u"--allow"),
                   denial = answer ? std::nullopt : optionValue(arguments, i, u"--deny");
                   answer || denial) {
            const QString& value = answer ? *answer : *denial;
            bool ok = false;
            line.request = value.toInt(&ok);
            if (!ok || line.request <= 0)
                return {std::nullopt, QStringLiteral("%1 needs the number of a request")
                                          .arg(answer ? QLatin1String("--allow") : QLatin1String("--deny"))};
            line.action = CommandLine::Action::Answer;
            line.allow = answer.has_value();
        } else if (const std::optional<QString> portValue = optionValue(arguments, i, u"--port")) {
            if (portValue->isNull())
                return {std::nullopt, QStringLiteral("--port needs a port number")};
            const QString& value = *portValue;
            bool ok = false;
            const uint port = value.toUInt(&ok);
            if (!ok || port > 65535)
                return {std::nullopt,
                        QStringLiteral("port \"%1\" is not a number from 0 to 65535").arg(value)};
            line.port = static_cast<quint16>(port);
        } else if (const std::optional<QString> webValue = optionValue(arguments, i, u"--web-port")) {
            if (webValue->isNull())
                return {std::nullopt, QStringLiteral("--web-port needs a port number or off")};
            bool ok = false;
            const uint port = webValue->toUInt(&ok);
            if (*webValue == QLatin1String("off"))
                line.webRemoteOff = true;
            else if (!ok || port > 65535)
                return {
                    std::nullopt,
                    QStringLiteral("web port \"%1\" is not off or a number from 0 to 65535").arg(*webValue)};
            else
                line.webPort = static_cast<quint16>(port);
        } else if (const std::optional<QString> inputValue = optionValue(arguments, i, u"--input")) {
            if (inputValue->isNull())
                return {std::nullopt, QStringLiteral("--input needs a backend")};
            const std::optional<InputChoice> choice = inputChoice(*inputValue);
            if (!choice)
                return {std::nullopt,
                        QStringLiteral("input backend \"%1\" is not available; choose one of: %2")
                            .arg(*inputValue, inputBackends.join(QStringLiteral(", ")))};
            line.input = *choice;
        } else {
            return {std::nullopt, QStringLiteral("unknown argument \"%1\"").arg(argument)};
        }
    }
    return {line, {}};
}

} // namespace quillmote
