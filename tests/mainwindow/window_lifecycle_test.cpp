// Closing, captions, placement, the busy state and progress of a run, the
// names runs write and stored effect settings, driven through the real
// widgets on the offscreen platform.

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/WindowPlacement.h"
#include "app/settings/SettingsStore.h"
#include "pluginhost/PluginLoader.h"
#include "render/QuickSuperimpose.h"
#include "support/ScriptedDialogsScope.h"
#include "support/TestDirs.h"
#include "video/ScriptedMediaSource.h"
#include "views/browser/GraphicSelector.h"
#include "views/pages/ConfigPage.h"
#include "views/pages/FinalizePage.h"
#include "views/timeline/Timeline.h"
#include "views/viewer/ImageViewer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QToolBar>
#include <QPointer>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <unistd.h>

using namespace stillora;

namespace {

// Records what a web-gallery run hands its exporter.
class RecordingExporter : public RenderExporter {
public:
    void begin(const RenderSettings&, const QString&) override { ++begun; }
    bool wantsStills(const RenderSettings&) const override { return true; }
    bool addFrame(const ExportFrame& frame) override {
        frames.push_back(frame.sourceFrame);
        if (onFrame) onFrame();
        return true;
    }
    void finish(const ExportSummary& summary) override {
        ++finished;
        finishedWith = summary.frameCounter;
    }
    int begun = 0, finished = 0, finishedWith = -1;
    std::vector<int64_t> frames;
    std::function<void()> onFrame;
};

// The window with the recording exporter in place of the real ones.
class RecordingWindow : public TfrmMain {
public:
    using TfrmMain::TfrmMain;
    RenderExporter* exporter(const RenderSettings&) override { return &recorder; }
    RecordingExporter recorder;
};

class WindowLifecycle : public ::testing::Test {
protected:
    void TearDown() override { window.reset(); }

    void make(SettingsStore* store = nullptr, int frames = 100) {
        auto source = std::make_unique<ScriptedMediaSource>(frames);
        media = source.get();
        window = std::make_unique<RecordingWindow>(std::move(source), store);
        window->show();
    }
    // Opens a clip on the Seek page and adds the interval first..last.
    void openWithInterval(int first, int last, const QString& caption = QString()) {
        QFile clip(dir.file("clip.avi"));
        ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
        clip.close();
        window->SetActivePage(TfrmMain::kwSelectSource);
        window->edtFiles->setText(dir.file("clip.avi"));
        window->SetActivePage(TfrmMain::kwSelect);
        window->cbSeekDelay->setChecked(false);
        window->actPause->trigger();
        window->TrackBar->setValue(first);
        window->actMarkIn->trigger();
        window->TrackBar->setValue(last);
        window->actMarkOut->trigger();
        window->actAddCurrentSelection->trigger();
        if (!caption.isEmpty())
            SelectionTree::SelectionOf(window->Tree().index(0, 0))->Caption = caption;
    }
    void toFinalize(int exportKind = NumberedFrames) {
        window->SetActivePage(TfrmMain::kwExport);
        window->ConfigPage->rgExportAs->setItemIndex(exportKind);
        window->SetActivePage(TfrmMain::kwFinish);
        ASSERT_TRUE(QDir().mkpath(dir.file("out")));
        window->FinalizePage->jvExportFolder->setText(dir.file("out"));
    }
    QStringList stills() const { return QDir(dir.file("out")).entryList(QDir::Files, QDir::Name); }

    test::ScratchDir dir;
    test::ScriptedDialogsScope scripted_;
    ScriptedMediaSource* media = nullptr;
    std::unique_ptr<RecordingWindow> window;
};

TEST_F(WindowLifecycle, ClosingDuringARunStopsAtAFrameBoundaryFinishesAndThenCloses) {
    make();
    openWithInterval(0, 99);
    toFinalize(WebGallery);
    // A first run, so that Finish was enabled once before.
    window->FinalizePage->btnPreview->click();
    window->FinalizePage->btnRender->click();
    ASSERT_TRUE(window->btnFinish->isEnabled());
    window->recorder = RecordingExporter();

    bool finishEnabledDuringRun = true, sourceOpenAfterClose = false, visibleAfterClose = false;
    window->recorder.onFrame = [&] {
        if (window->recorder.frames.size() != 3) return;
        finishEnabledDuringRun = window->btnFinish->isEnabled();
        window->close(); // the title-bar button
        visibleAfterClose = window->isVisible();
        sourceOpenAfterClose = media->isOpen();
    };
    window->FinalizePage->btnRender->click();

    EXPECT_FALSE(finishEnabledDuringRun);
    EXPECT_TRUE(visibleAfterClose) << "the window waits for the run";
    EXPECT_TRUE(sourceOpenAfterClose) << "the source stays open under the run";
    // The frame in hand was finished, no further one was started, and the
    // exporter's finish step ran.
    EXPECT_EQ(window->recorder.frames, (std::vector<int64_t>{0, 1, 2}));
    EXPECT_EQ(window->recorder.finished, 1);
    EXPECT_EQ(window->recorder.finishedWith, 3);
    EXPECT_EQ(stills().size(), 100) << "the first run's 100, three of them written again";
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(media->isOpen());
}

TEST_F(WindowLifecycle, ANumberedFramesRunStoppedByClosingOpensNoBrowser) {
    make();
    openWithInterval(0, 49);
    toFinalize();
    QTimer::singleShot(0, window.get(), [this] { window->close(); });
    window->FinalizePage->btnRender->click();
    EXPECT_LE(stills().size(), 2);
    EXPECT_FALSE(window->frmGraphicSelector->isVisible());
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowLifecycle, ClosingTheMainWindowEndsTheProgramWithEveryWindowAndStoresPlacementOnce) {
    SettingsStore store(dir.file("settings.json"));
    make(&store);
    window->RestorePlacements();
    window->tlbRender->setChecked(true);
    window->frmGraphicSelector->showFolder(dir.path(), "*.jpg");
    window->actTimeline->trigger();
    ASSERT_TRUE(window->frmRender->isVisible());
    ASSERT_TRUE(window->frmTimeline->isVisible());
    ASSERT_TRUE(window->frmGraphicSelector->isVisible());
    window->frmRender->move(40, 50);

    // The event loop must end by itself once the main window is closed.
    bool ended = true;
    QTimer::singleShot(0, window.get(), [this] { window->btnCancel->click(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        ended = false;
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });
    guard.start(5000);
    QApplication::exec();
    EXPECT_TRUE(ended) << "other windows kept the program running";
    EXPECT_FALSE(window->frmRender->isVisible());
    EXPECT_FALSE(window->frmTimeline->isVisible());
    EXPECT_FALSE(window->frmGraphicSelector->isVisible());

    const SettingsStore reread(dir.file("settings.json"));
    EXPECT_EQ(std::get<int32_t>(*reread.ReadSetting("frmRender.Left")), 40);
    EXPECT_EQ(std::get<int32_t>(*reread.ReadSetting("frmRender.Top")), 50);
    EXPECT_TRUE(reread.Contains("AppForm.Left"));
    // A second close changes nothing stored.
    store.WriteSetting("frmRender.Left", 7);
    window->close();
    EXPECT_EQ(
        std::get<int32_t>(*SettingsStore(dir.file("settings.json")).ReadSetting("frmRender.Left")),
        40);
}

TEST_F(WindowLifecycle, TheSelectionsPanelBelongsToTheWindowBeforeAnyPageShowsIt) {
    make();
    // Never shown on the Seek or ApplyFX page, it must still go with the window.
    ASSERT_NE(window->pnlSelections->parentWidget(), nullptr);
    EXPECT_EQ(window->pnlSelections->window(), window.get());
    QPointer<QWidget> panel = window->pnlSelections;
    window.reset();
    EXPECT_TRUE(panel.isNull());
}

TEST_F(WindowLifecycle, EveryToolButtonOfTheSeekPageShowsAtTheFirstSize) {
    make();
    openWithInterval(3, 4);
    window->SetActivePage(TfrmMain::kwSelect);
    QCoreApplication::processEvents();
    for (QToolBar* bar : {window->tlbSel, window->tlbMain})
        for (QAction* action : bar->actions()) {
            // Separators and what the source kind hides (capture settings) aside.
            if (action->isSeparator() || !action->isVisible()) continue;
            QWidget* button = bar->widgetForAction(action);
            ASSERT_TRUE(button) << action->objectName().toStdString();
            // Not pushed behind the tool bar's overflow arrow.
            EXPECT_TRUE(button->isVisible()) << action->objectName().toStdString()
                                             << action->text().toStdString();
        }
}

TEST_F(WindowLifecycle, CaptionsAreTheWindowsOwnTexts) {
    const QString name = QApplication::applicationName();
    SetupApplication();
    EXPECT_EQ(QApplication::applicationName(), "Stillora");
    // A display name of its own would be appended to every caption by the
    // windowing layer; unset, it simply follows the application name.
    QApplication::setApplicationName("probe");
    EXPECT_EQ(QApplication::applicationDisplayName(), "probe");
    QApplication::setApplicationName(name);

    make();
    EXPECT_EQ(window->windowTitle(), "Stillora - Catch the moment...");
    EXPECT_EQ(window->frmRender->windowTitle(), "Render");
    EXPECT_EQ(window->frmTimeline->windowTitle(), "Timeline");
}

TEST_F(WindowLifecycle, FinishStaysDisabledDuringAPreviewAndProgressIsShown) {
    make();
    openWithInterval(10, 29);
    toFinalize();
    QStringList progress, status, cut;
    bool finishEnabled = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        QLabel* label = window->FinalizePage->lblProgress;
        progress << label->text();
        // The whole text is shown and the bar beside it keeps a useful width.
        if (label->width() < label->fontMetrics().horizontalAdvance(label->text()) ||
            window->FinalizePage->pbRun->width() < 80)
            cut << label->text();
        status << window->lblState->text();
        finishEnabled = finishEnabled || window->btnFinish->isEnabled();
    });
    probe.start(0);
    window->FinalizePage->btnRender->click();
    probe.stop();
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_TRUE(cut.isEmpty()) << cut.join('|').toStdString();
    EXPECT_FALSE(finishEnabled);
    EXPECT_TRUE(std::any_of(progress.begin(), progress.end(), [](const QString& p) {
        return p.startsWith("Frame 1 of 20");
    })) << progress.join('|').toStdString();
    for (const QString& line : status)
        EXPECT_TRUE(line.startsWith("Frame ")) << "stale status: " << line.toStdString();
    EXPECT_EQ(window->FinalizePage->lblProgress->text(), "Frame 20 of 20");
    EXPECT_EQ(window->FinalizePage->pbRun->value(), window->FinalizePage->pbRun->maximum());
    EXPECT_TRUE(window->btnFinish->isEnabled());

    // A preview afterwards keeps Finish as the render left it, but not during.
    finishEnabled = true;
    probe.disconnect();
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { finishEnabled = finishEnabled && window->btnFinish->isEnabled(); });
    probe.start(0);
    window->FinalizePage->btnPreview->click();
    probe.stop();
    EXPECT_FALSE(finishEnabled);
    EXPECT_TRUE(window->btnFinish->isEnabled());
}

TEST_F(WindowLifecycle, ThePictureBoxesKeepTheirSizeWhateverTheLabelsSay) {
    make();
    openWithInterval(3, 3, QString(200, QLatin1Char('W')));
    toFinalize();
    window->resize(760, 560);
    QCoreApplication::processEvents();
    const QSize src = window->FinalizePage->imgSrc->size();
    const QSize dest = window->FinalizePage->imgDest->size();
    EXPECT_EQ(src.width(), dest.width());
    window->FinalizePage->btnPreview->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->FinalizePage->lblSourceInfo->text().startsWith("WWWW"));
    EXPECT_EQ(window->FinalizePage->imgSrc->size(), src);
    EXPECT_EQ(window->FinalizePage->imgDest->size(), dest);
}

TEST_F(WindowLifecycle, CaptionsAndRootNamesNeverLeadOutOfTheExportFolder) {
    make();
    openWithInterval(4, 5, "../../escape");
    window->SetActivePage(TfrmMain::kwExport);
    window->ConfigPage->edtRootName->setText("a/b\\c\td");
    EXPECT_TRUE(window->ConfigPage->edtSample->text().startsWith("a_b_c_d_selcaption_0"))
        << window->ConfigPage->edtSample->text().toStdString();
    window->ConfigPage->edtRootName->setText("");
    window->ConfigPage->cbSeparator->setChecked(false);
    toFinalize();
    ASSERT_TRUE(QDir().mkpath(dir.file("out/deeper")));
    window->FinalizePage->jvExportFolder->setText(dir.file("out/deeper"));
    window->FinalizePage->btnRender->click();
    const QStringList written =
        QDir(dir.file("out/deeper")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    ASSERT_EQ(written.size(), 2) << written.join(' ').toStdString();
    for (const QString& name : written)
        EXPECT_TRUE(name.startsWith("___.._escape0")) << name.toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList({"escape*"}, QDir::Files).isEmpty());
    EXPECT_TRUE(stills().isEmpty());
}

TEST_F(WindowLifecycle, TheTimeStampUsesTheSystemsTimeAndDateFormats) {
    const QDateTime when = QDateTime::fromSecsSinceEpoch(1733621124); // 01:25:24 UTC
    auto date = [&](const QString& format) {
        QProcess process;
        process.start("date", {"-d", "@" + QString::number(when.toSecsSinceEpoch()), format});
        EXPECT_TRUE(process.waitForFinished(5000));
        return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    };
    EXPECT_EQ(LocalTimeText(when), date("+%X"));
    EXPECT_EQ(LocalDateText(when), date("+%x"));
    EXPECT_FALSE(LocalTimeText(when).contains("UTC"));
}

TEST_F(WindowLifecycle, WindowsOpenBesideTheMainWindowUnlessTheirPlaceWasStored) {
    make();
    const QRect main = window->frameGeometry();
    window->tlbRender->setChecked(true);
    window->actTimeline->trigger();
    // The offscreen screen (800 x 600) leaves room for the viewer only at
    // the left, shrunk; the timeline cannot shrink that far, but stays on it.
    EXPECT_FALSE(window->frmRender->frameGeometry().intersects(main));
    for (QWidget* w : {static_cast<QWidget*>(window->frmRender.get()),
                       static_cast<QWidget*>(window->frmTimeline.get())})
        EXPECT_TRUE(w->screen()->availableGeometry().contains(w->frameGeometry()))
            << w->objectName().toStdString();
    window.reset();

    // Stored placement is kept; one off every screen comes back onto one.
    SettingsStore store(dir.file("settings.json"));
    store.WriteSetting("frmRender.Left", 30);
    store.WriteSetting("frmRender.Top", 40);
    store.WriteSetting("frmTimeline.Left", 9000);
    store.WriteSetting("frmTimeline.Top", -4000);
    make(&store);
    window->RestorePlacements();
    window->tlbRender->setChecked(true);
    window->actTimeline->trigger();
    EXPECT_EQ(window->frmRender->pos(), QPoint(30, 40));
    const QRect screen = window->frmTimeline->screen()->availableGeometry();
    EXPECT_TRUE(screen.intersects(window->frmTimeline->frameGeometry()));
}

TEST(WindowPlacement, BesideTakesTheFirstSideWithRoomAndShrinksOnlyWhenNoneHas) {
    const QRect screen(0, 0, 1920, 1080);
    const QRect main(236, 156, 714, 528);
    EXPECT_EQ(PlaceBesideRect(main, QSize(480, 400), screen), QRect(958, 156, 480, 400));
    // No room to the right: the left.
    const QRect right(1200, 100, 714, 528);
    EXPECT_EQ(PlaceBesideRect(right, QSize(480, 400), screen), QRect(712, 100, 480, 400));
    // A small screen with room nowhere: the roomiest side, shrunk to it.
    const QRect small(0, 0, 1024, 768);
    const QRect placed = PlaceBesideRect(main, QSize(480, 400), small);
    EXPECT_FALSE(placed.intersects(main));
    EXPECT_TRUE(small.contains(placed));
    EXPECT_EQ(placed.height(), 400);
}

TEST_F(WindowLifecycle, AnUnreadableSettingsFileIsNeverReplacedWithoutACopy) {
    const QString file = dir.file("settings.json");
    const QByteArray damaged = "{\"spinDigits.Value\": 4,";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged);
    }
    // The usual copy name is taken by something that cannot be replaced.
    ASSERT_TRUE(QDir().mkpath(file + ".damaged/keep"));
    {
        SettingsStore store(file);
        make(&store);
        EXPECT_TRUE(window->lblState->text().contains(file + ".damaged.2"))
            << window->lblState->text().toStdString();
        window->close();
        window.reset();
    }
    QFile copy(file + ".damaged.2");
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), damaged);
    EXPECT_TRUE(SettingsStore(file).Contains("spinDigits.Value"))
        << "the settings were stored after the copy";
}

TEST_F(WindowLifecycle, AFileThatCannotBeCopiedIsLeftAsItIs) {
    if (geteuid() == 0) GTEST_SKIP() << "an unreadable file needs a user without every permission";
    const QByteArray damaged = "{\"spinDigits.Value\": 4,";
    const QString locked = dir.file("locked.json");
    {
        QFile f(locked);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged);
    }
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    SettingsStore store(locked);
    make(&store);
    EXPECT_TRUE(window->lblState->text().contains("no copy"))
        << window->lblState->text().toStdString();
    window->close();
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile f(locked);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), damaged);
}

TEST_F(WindowLifecycle, EffectSettingsComeBackAfterARestart) {
    const QString file = dir.file("settings.json");
    {
        SettingsStore store(file);
        make(&store);
        LoadPlugins(STILLORA_PLUGIN_DIR, window->Plugins());
        const int lightness = FindPluginByName(window->Plugins(), "Lightness");
        ASSERT_GE(lightness, 0);
        // What the dialog leaves in the record when it closes.
        window->Plugins()[lightness].Settings = "FRATRACKBAR_0=-40,CHECKBOX_1=1,CHECKBOX_2=0";
        window->close();
        window.reset();
    }
    SettingsStore store(file);
    EXPECT_EQ(std::get<QString>(*store.ReadSetting("PluginSettings.Lightness")),
              "FRATRACKBAR_0=-40,CHECKBOX_1=1,CHECKBOX_2=0");
    make(&store);
    LoadPlugins(STILLORA_PLUGIN_DIR, window->Plugins());
    TPluginRecord& record = window->Plugins()[FindPluginByName(window->Plugins(), "Lightness")];
    // The plug-in's values live in the library for the whole process: put them back afterwards.
    std::vector<TPluginVariant> original;
    for (int i = 0; i < record.GetParamCount(); ++i)
        original.push_back(record.GetParam(i)->Value);
    struct Restore {
        TPluginRecord& r;
        std::vector<TPluginVariant>& v;
        ~Restore() {
            for (size_t i = 0; i < v.size(); ++i)
                r.GetParam(static_cast<int>(i))->Value = v[i];
        }
    } restore{record, original};
    record.GetParam(0)->Value.vt = STILLORA_VT_I4;
    record.GetParam(0)->Value.u.lVal = 0;
    window->LoadPluginSettings();
    EXPECT_EQ(record.Settings, "FRATRACKBAR_0=-40,CHECKBOX_1=1,CHECKBOX_2=0");
    EXPECT_EQ(record.GetParam(0)->Value.u.lVal, -40);
    EXPECT_NE(record.GetParam(1)->Value.u.boolVal, 0);
    EXPECT_EQ(record.GetParam(2)->Value.u.boolVal, 0);

    // A render with the reloaded effect uses the amount the user set.
    openWithInterval(7, 7);
    SelectionTree::SelectionOf(window->Tree().index(0, 0))->Effects.push_back(record);
    window->SetActivePage(TfrmMain::kwExport);
    window->ConfigPage->rgExportType->setItemIndex(1); // BMP: exact pixels
    toFinalize();
    window->FinalizePage->btnRender->click();
    ASSERT_EQ(stills().size(), 1);
    const QImage still(QDir(dir.file("out")).filePath(stills()[0]));
    const QImage plain = ScriptedMediaSource::makeFrame(7, still.size());
    int darker = 0;
    for (int y = 0; y < plain.height(); y += 4)
        for (int x = 0; x < plain.width(); x += 4)
            darker += qRed(still.pixel(x, y)) < qRed(plain.pixel(x, y));
    EXPECT_GT(darker, 0);
}

} // namespace

namespace {

// Whether process `pid` has a handler of its own for `signal`.
bool catchesSignal(qint64 pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

} // namespace

TEST(Termination, ASigtermEndsTheProgramAsItsCloseButtonWouldAndKeepsTheSettings) {
    test::ScratchDir dir;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", dir.file("config"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(STILLORA_BIN_DIR "/Stillora", {});
    ASSERT_TRUE(program.waitForStarted(10000));
    // Sent before the handler is in place, the signal would just kill it.
    QElapsedTimer clock;
    clock.start();
    while (!catchesSignal(program.processId(), SIGTERM) && clock.elapsed() < 60000)
        QThread::msleep(20);
    ASSERT_TRUE(catchesSignal(program.processId(), SIGTERM));

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(QFileInfo::exists(dir.file("config/Stillora/settings.json")));
}
