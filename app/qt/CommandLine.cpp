// Reads the dialog's command line in two steps around the construction of the application
// object, which takes Qt's own options out of the arguments and needs a display to do so.
#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include "Version.h"

namespace orlup {

namespace {

const QString SimulateOption = QStringLiteral("simulate");
const QString SimulateWithWord = QStringLiteral("--simulate=");

void Describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Loads new firmware into one Ilvaran or Ilvaran-II printer attached by USB."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(
        {SimulateOption, QStringLiteral("Offer one simulated Ilvaran and one simulated Ilvaran-II "
                                        "instead of the USB printers. --simulate=stall or "
                                        "--simulate=unplug makes the printer fail half-way.")});
    parser.addPositionalArgument(QStringLiteral("image"),
                                 QStringLiteral("Flash image to put in the path box."),
                                 QStringLiteral("[image]"));
}

// QCommandLineParser knows no option whose value may be left out, so "--simulate=WORD" is
// taken apart before it sees it.
bool Parse(QCommandLineParser& parser, const QStringList& arguments, std::optional<QString>* word) {
    QStringList rest;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(SimulateWithWord)) {
            rest << argument;
            continue;
        }
        *word = argument.mid(SimulateWithWord.size());
        rest << QStringLiteral("--") + SimulateOption;
    }
    return parser.parse(rest);
}

bool HasDisplay(const QStringList& arguments, const QProcessEnvironment& env) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!env.value(QString::fromLatin1(name)).isEmpty()) return true;
    }
    for (const char* option : {"-platform", "--platform", "-display", "--display"}) {
        if (arguments.contains(QString::fromLatin1(option))) return true;
    }
    return false;
}

QStringList ToList(int argc, char** argv) {
    QStringList list;
    for (char** argument = argv; argument != argv + argc; ++argument) {
        list << QString::fromLocal8Bit(*argument);
    }
    return list;
}

}  // namespace

std::optional<int> AnswerWithoutDisplay(int& argc, char** argv, const QProcessEnvironment& env,
                                        std::ostream& out, std::ostream& err) {
    const QStringList arguments = ToList(argc, argv);
    QCommandLineParser parser;
    Describe(parser);
    // Qt's own options, one dash and a word, still stand among the arguments and are judged
    // once the application object has taken them; here they must not read as -r -e -v ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    std::optional<QString> word;
    Parse(parser, arguments, &word);
    if (parser.isSet(QStringLiteral("version"))) {
        out << ORLUP_PROGRAM << ' ' << ORLUP_VERSION << '\n';
        return 0;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        // The usage line names the program as it was started, which takes an application object.
        std::optional<QCoreApplication> core;
        if (QCoreApplication::instance() == nullptr) core.emplace(argc, argv);
        out << parser.helpText().toStdString();
        return 0;
    }
    if (!HasDisplay(arguments, env)) {
        err << ORLUP_PROGRAM
            << ": no display: set DISPLAY or WAYLAND_DISPLAY, or give -platform offscreen\n";
        return 1;
    }
    return std::nullopt;
}

std::optional<StartOptions> ReadStartOptions(const QStringList& arguments, std::ostream& err) {
    QCommandLineParser parser;
    Describe(parser);
    std::optional<QString> word;
    StartOptions options;
    if (!Parse(parser, arguments, &word)) {
        err << ORLUP_PROGRAM << ": " << parser.errorText().toStdString() << '\n';
        return std::nullopt;
    }
    if (word && !SimulatedPrinters::ParseTrouble(word->toStdString(), &options.trouble)) {
        err << ORLUP_PROGRAM << ": --simulate takes stall or unplug, not \"" << word->toStdString()
            << "\"\n";
        return std::nullopt;
    }
    const QStringList images = parser.positionalArguments();
    if (images.size() > 1) {
        err << ORLUP_PROGRAM << ": one image at most\n";
        return std::nullopt;
    }
    options.simulate = parser.isSet(SimulateOption);
    // Made absolute, as the file-name rule wants a folder before the name.
    if (!images.isEmpty()) options.imagePath = QFileInfo(images.constFirst()).absoluteFilePath();
    return options;
}

}  // namespace orlup
