// stillora-batch: renders the selections of videos to numbered stills from
// the command line, through the same render run, media source, plug-in host
// and selection list reader as the window.

#include "app/batch/BatchOptions.h"
#include "app/batch/BatchRenderer.h"
#include "app/batch/BatchSetup.h"
#include "app/batch/Progress.h"
#include "app/settings/SettingsStore.h"
#include "app/settings/SettingsTable.h"
#include "export/avi/AviCodecs.h"
#include "pluginhost/PluginLoader.h"
#include "video/MediaLog.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace stillora;
using namespace stillora::batch;

namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void onSignal(int) {
    g_stop.store(true);
}

// Ctrl-C (and a termination request) ask the run to stop at the next frame
// boundary. The handler is reset on delivery: a second Ctrl-C ends the
// program at once.
void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Qt's own notes go to standard error as usual, except the one about a
// missing runtime folder, which every run from cron or a bare shell would
// print and which means nothing here.
void filterQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

void printError(const QString& text) {
    std::fprintf(stderr, "stillora-batch: %s\n", qPrintable(text));
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ParseResult parsed = ParseCommandLine(arguments);
    if (!parsed.ok()) {
        printError(parsed.error);
        return ExitUsage;
    }
    const BatchOptions& options = parsed.options;
    if (options.help) {
        std::fputs(qPrintable(HelpText()), stdout);
        return ExitOk;
    }
    if (options.version) {
        std::printf("stillora-batch %s\n", STILLORA_VERSION);
        return ExitOk;
    }

    // The overlay draws text, which needs a GUI application; the offscreen
    // platform works without a display (over SSH), unless the user chose one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt sees none of our arguments, so it cannot take a video for one of its own.
    qInstallMessageHandler(filterQtMessages);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Stillora"));
    installStopHandlers();
    // The media libraries' own lines only on request, marked as theirs.
    installMediaLog();
    if (options.verbose)
        setMediaLogSink(
            [](const std::string& line) { std::fprintf(stderr, "media: %s\n", line.c_str()); },
            MediaLogLevel::Info);

    PluginTable plugins;
    const QString pluginFolder =
        QCoreApplication::applicationDirPath() + QStringLiteral("/plugins/");
    try {
        LoadPlugins(QFile::encodeName(pluginFolder).toStdString(), plugins);
    } catch (const PluginLoadError& e) {
        printError(QStringLiteral("a plug-in in %1 failed while loading: %2")
                       .arg(pluginFolder, QString::fromLocal8Bit(e.what())));
        return ExitUsage;
    }
    if (options.listCodecs) {
        std::fputs(qPrintable(DescribeAviCodecs()), stdout);
        return ExitOk;
    }
    if (options.listPlugins) {
        std::fputs(qPrintable(DescribePlugins(plugins)), stdout);
        return ExitOk;
    }
    for (const QString& spec : options.params) {
        QString error;
        if (!ApplyParameter(plugins, spec, &error)) {
            printError(error);
            return ExitUsage;
        }
    }

    // The stored settings are only read: nothing here is ever saved.
    const QString settingsFile =
        options.settingsFile.isEmpty() ? SettingsStore::DefaultFilePath() : options.settingsFile;
    if (!options.settingsFile.isEmpty() && !QFileInfo::exists(settingsFile)) {
        printError(QStringLiteral("settings file \"%1\" does not exist").arg(settingsFile));
        return ExitUsage;
    }
    const SettingsStore store(settingsFile);
    if (store.readFailed())
        printError(QStringLiteral("cannot read settings file \"%1\"; using the defaults")
                       .arg(settingsFile));
    const ResolvedSettings stored = ResolveSettings(store);
    if (!stored.stoppedAt.isEmpty())
        printError(QStringLiteral("stored setting \"%1\" cannot be read; it and the settings "
                                  "after it take the values the window starts with")
                       .arg(stored.stoppedAt));
    RenderSettings settings = SettingsFromStore(stored);
    ApplyOverrides(options, settings);

    Progress progress(stderr, !options.quiet && !options.dryRun, isatty(STDERR_FILENO) == 1);
    BatchRenderer renderer(options, settings, plugins, progress, stdout);
    return renderer.Run([] { return g_stop.load(); });
}
