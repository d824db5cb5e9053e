// Command lines of the form "<program> [global options] COMMAND [options]
// OPERANDS...": finding the command word, parsing its options with
// QCommandLineParser, and help texts that list every command and option.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <vector>

namespace gearloft::cli {

struct Command {
    QString name;
    QString synopsis;     // operands and options after the command word
    QString description;  // one or more sentences
    std::vector<QCommandLineOption> options;
    // How many operands the command takes; maxOperands -1: any number.
    int minOperands = 0;
    int maxOperands = -1;
};

class CommandLine {
public:
    // globalValueOptions: names of global options that take a value, so that
    // their value is not taken for the command word.
    CommandLine(QString program, QString summary, std::vector<Command> commands,
                std::vector<QCommandLineOption> globalOptions = {});

    enum class Outcome { kRun, kExit };
    // Parses the arguments (without the program's name). kExit: help, the
    // version or a usage error has been handled and exitStatus says how the
    // program ends. kRun: command() and parser() describe what to do.
    Outcome Parse(const QStringList& arguments, const QString& version, int* exitStatus);

    const Command& command() const { return *m_command; }
    const QCommandLineParser& parser() const { return m_parser; }
    const QString& program() const { return m_program; }

    // The program's help: the commands with their synopses and options.
    QString HelpText() const;
    QString CommandHelpText(const Command& command) const;

private:
    QString m_program;
    QString m_summary;
    std::vector<Command> m_commands;
    std::vector<QCommandLineOption> m_globalOptions;
    const Command* m_command = nullptr;
    QCommandLineParser m_parser;
};

}  // namespace gearloft::cli
