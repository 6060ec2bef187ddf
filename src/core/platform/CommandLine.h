// SPDX-License-Identifier: MIT
#pragma once

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <optional>

namespace brandle {

// The command line of one of the programs: --help and --version, and the refusal of a command
// line the program cannot use. Needs no application object, so a program with windows can
// answer before it looks for a display.
class CommandLine {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    // The exit status of a refused command line.
    static constexpr int Refused = 2;

    // Adds the help and version options to the parser; command is the program's file name.
    CommandLine(const QString& command, QCommandLineParser& parser);

    // The arguments of main() as text.
    static QStringList arguments(int argc, char* argv[]);

    // Parses the arguments (the program's own path first). Answers --help and --version on
    // standard output (status 0) and refuses an unknown option or a missing value (status 2);
    // none when the program goes on.
    std::optional<int> parse(const QStringList& arguments);

    // Writes "command: message" and the usage line to standard error; returns Refused.
    int refuse(const QString& message) const;

    // "Usage: command [options] ..."
    QString usage() const;

private:
    QString helpText() const;

    QString m_command;
    QCommandLineParser& m_parser;
};

} // namespace brandle
