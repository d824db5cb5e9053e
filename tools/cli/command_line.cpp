#include "tools/cli/command_line.h"

#include "tools/cli/cli_io.h"

namespace gearloft::cli {
namespace {

// The "Options:" part of a parser's help, without its usage line.
QString OptionsSection(const std::vector<QCommandLineOption>& options) {
    QCommandLineParser parser;
    for (const QCommandLineOption& option : options) {
        parser.addOption(option);
    }
    const QString text = parser.helpText();
    const qsizetype at = text.indexOf(QLatin1String("Options:"));
    return at < 0 ? QString() : text.mid(at);
}

bool IsHelp(const QString& argument) {
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

}  // namespace

CommandLine::CommandLine(QString program, QString summary, std::vector<Command> commands,
                         std::vector<QCommandLineOption> globalOptions)
    : m_program(std::move(program)),
      m_summary(std::move(summary)),
      m_commands(std::move(commands)),
      m_globalOptions(std::move(globalOptions)) {}

QString CommandLine::HelpText() const {
    QString text = QStringLiteral("Usage: %1 [OPTION]... COMMAND [ARGUMENT]...\n%2\n\nCommands:\n")
                       .arg(m_program, m_summary);
    for (const Command& command : m_commands) {
        text += QStringLiteral("  %1 %2\n").arg(command.name, command.synopsis);
        for (const QString& line : command.description.split(QLatin1Char('\n'))) {
            text += QStringLiteral("      %1\n").arg(line);
        }
        // The command's own options, as its help lists them.
        const QString options = OptionsSection(command.options);
        const QStringList lines = options.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            text += QStringLiteral("    %1\n").arg(lines[i]);
        }
    }
    std::vector<QCommandLineOption> options = m_globalOptions;
    options.emplace_back(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                         QStringLiteral("Show this help, or a command's help after it."));
    options.emplace_back(QStringLiteral("version"), QStringLiteral("Show the version."));
    text += QLatin1Char('\n') + OptionsSection(options);
    text += QStringLiteral(
        "\nExit status: 0 all well, 1 some input failed (the rest was still done),\n"
        "2 the command line could not be used (nothing was done).\n");
    return text;
}

QString CommandLine::CommandHelpText(const Command& command) const {
    QString text =
        QStringLiteral("Usage: %1 %2 %3\n").arg(m_program, command.name, command.synopsis);
    text += command.description + QLatin1Char('\n');
    std::vector<QCommandLineOption> options = m_globalOptions;
    options.insert(options.end(), command.options.begin(), command.options.end());
    options.emplace_back(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                         QStringLiteral("Show this help."));
    text += QLatin1Char('\n') + OptionsSection(options);
    return text;
}

CommandLine::Outcome CommandLine::Parse(const QStringList& arguments, const QString& version,
                                        int* exitStatus) {
    // The command word: the first argument that is neither an option nor the
    // value of a global option that takes one.
    qsizetype commandAt = -1;
    bool wantsHelp = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            commandAt = i + 1 < arguments.size() ? i + 1 : -1;
            break;
        }
        if (IsHelp(argument)) {
            wantsHelp = true;
            continue;
        }
        if (argument == QLatin1String("--version")) {
            Print(QStringLiteral("%1 %2\n").arg(m_program, version));
            *exitStatus = kExitOk;
            return Outcome::kExit;
        }
        if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            for (const QCommandLineOption& option : m_globalOptions) {
                if (!option.valueName().isEmpty() &&
                    option.names().contains(
                        argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1))) {
                    ++i;  // its value follows
                }
            }
            continue;
        }
        commandAt = i;
        break;
    }

    if (commandAt < 0) {
        if (wantsHelp) {
            Print(HelpText());
            *exitStatus = kExitOk;
            return Outcome::kExit;
        }
        *exitStatus = UsageError(m_program, QStringLiteral("no command given"));
        return Outcome::kExit;
    }
    const QString word = arguments[commandAt];
    m_command = nullptr;
    for (const Command& command : m_commands) {
        if (command.name == word) {
            m_command = &command;
        }
    }
    if (m_command == nullptr) {
        *exitStatus = UsageError(m_program, QStringLiteral("unknown command '%1'").arg(word));
        return Outcome::kExit;
    }

    QStringList rest = arguments;
    rest.removeAt(commandAt);
    rest.prepend(m_program);
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QCommandLineOption& option : m_globalOptions) {
        m_parser.addOption(option);
    }
    for (const QCommandLineOption& option : m_command->options) {
        m_parser.addOption(option);
    }
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    m_parser.addOption(help);
    if (!m_parser.parse(rest)) {
        *exitStatus = UsageError(m_program, m_parser.errorText());
        return Outcome::kExit;
    }
    if (m_parser.isSet(help)) {
        Print(CommandHelpText(*m_command));
        *exitStatus = kExitOk;
        return Outcome::kExit;
    }
    const auto operands = static_cast<int>(m_parser.positionalArguments().size());
    if (operands < m_command->minOperands ||
        (m_command->maxOperands >= 0 && operands > m_command->maxOperands)) {
        *exitStatus = UsageError(
            m_program,
            QStringLiteral("usage: %1 %2 %3").arg(m_program, m_command->name, m_command->synopsis));
        return Outcome::kExit;
    }
    return Outcome::kRun;
}

}  // namespace gearloft::cli
