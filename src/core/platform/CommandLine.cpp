// SPDX-License-Identifier: MIT
#include "platform/CommandLine.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    if (!text.endsWith(u'\n'))
        std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

CommandLine::CommandLine(const QString& command, QCommandLineParser& parser)
    : m_command(command)
    , m_parser(parser)
{
    m_parser.addOption({{u"h"_s, u"help"_s}, tr("Shows this help and ends.")});
    m_parser.addOption({{u"v"_s, u"version"_s}, tr("Shows the version and ends.")});
}

QStringList CommandLine::arguments(int argc, char* argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

std::optional<int> CommandLine::parse(const QStringList& arguments)
{
    if (!m_parser.parse(arguments))
        return refuse(m_parser.errorText());
    if (m_parser.isSet(u"help"_s)) {
        print(stdout, helpText());
        return 0;
    }
    if (m_parser.isSet(u"version"_s)) {
        print(stdout, m_command + u' ' + QString::fromUtf8(BRANDLE_VERSION));
        return 0;
    }
    return std::nullopt;
}

int CommandLine::refuse(const QString& message) const
{
    print(stderr, m_command + ": "_L1 + message + u'\n' + usage() + u'\n' +
                      tr("Try '%1 --help' for more information.").arg(m_command));
    return Refused;
}

QString CommandLine::usage() const
{
    const QString text = helpText();
    return text.left(text.indexOf(u'\n'));
}

namespace {

// Lines of at most width characters, broken at blanks; the parser wraps only its option texts.
QString wrapped(const QString& text, qsizetype width)
{
    QStringList lines;
    for (QString line : text.split(u'\n')) {
        while (line.size() > width) {
            const qsizetype at = line.lastIndexOf(u' ', width);
            if (at <= 0)
                break;
            lines.append(line.left(at));
            line = line.mid(at + 1);
        }
        lines.append(line);
    }
    return lines.join(u'\n');
}

} // namespace

// The parser's help names the program by the path it was started with, or by a placeholder
// before the application object exists; the help here names it by its file name, in lines that
// fit a terminal of 80 columns.
QString CommandLine::helpText() const
{
    QString text = m_parser.helpText();
    const QString started = QCoreApplication::instance() ? QCoreApplication::arguments().value(0)
                                                         : u"<executable_name>"_s;
    const qsizetype firstLine = text.indexOf(u'\n');
    const qsizetype at = started.isEmpty() ? -1 : text.indexOf(started);
    if (at >= 0 && (firstLine < 0 || at < firstLine))
        text.replace(at, started.size(), m_command);
    return wrapped(text, 79);
}

} // namespace brandle
