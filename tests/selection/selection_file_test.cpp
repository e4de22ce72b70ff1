#include "selection/SelectionFile.h"
#include "selection/SelectionTree.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace stillora;

namespace {

std::unique_ptr<TSelection> MakeSelection(int64_t in, int64_t out, const QString& caption,
                                          const QString& chain = QString()) {
    auto s = std::make_unique<TSelection>(caption);
    s->StartFrame = in;
    s->EndFrame = out;
    s->Index = static_cast<int32_t>(in);
    s->frmLength = static_cast<int32_t>(out - in + 1);
    s->SourceKind = 1;
    s->IPList = chain;
    return s;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Bytes of one property entry: length, name, then the typed value.
QByteArray Entry(const QByteArray& name, const QByteArray& value) {
    return char(name.size()) + name + value;
}

QByteArray RecordWith(const QByteArray& properties) {
    return QByteArray("TPF0\x0ATSelection\x00", 16) + properties + QByteArray(2, '\0');
}

std::vector<TSelection*> Loaded(const SelectionTree& tree) {
    return tree.TopLevelSelections();
}

// Plug-ins that only have a name, enough for rebinding chains.
const char* NameA() {
    return "Lightness";
}
const char* NameB() {
    return "Spray";
}
PluginTable TwoPlugins() {
    PluginTable table(2);
    table[0].PluginNameGet = NameA;
    table[1].PluginNameGet = NameB;
    return table;
}

class SelectionFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    SelectionList list;
    SelectionTree tree{list};
    SelectionList readList;
    SelectionTree readTree{readList};
    QString path = dir.filePath("clip.sel");

    // Saves `tree`, loads the file into `readTree` and returns what was read.
    std::vector<TSelection*> SaveAndLoad() {
        EXPECT_TRUE(SaveSelectionFile(path, tree));
        const SelectionLoadResult result = LoadSelectionFile(path, readTree, PluginTable());
        EXPECT_EQ(result.outcome, SelectionLoadResult::Loaded);
        EXPECT_FALSE(result.damaged);
        return Loaded(readTree);
    }
};

} // namespace

TEST(SelectionFileName, ReplacesTheExtensionOfTheLastPathComponent) {
    EXPECT_EQ(SelectionFileName("/clips/holiday.mpg"), "/clips/holiday.sel");
    EXPECT_EQ(SelectionFileName("/clips/holiday.part1.mpg"), "/clips/holiday.part1.sel");
    EXPECT_EQ(SelectionFileName("/clips.d/holiday"), "/clips.d/holiday.sel");
    EXPECT_EQ(SelectionFileName("USB Camera"), "USB Camera.sel");
}

TEST_F(SelectionFileTest, IntervalRecordHasTheDocumentedBytes) {
    tree.AddSelectionToTree(MakeSelection(10, 20, "Range_00010_00020", "(None)"));
    ASSERT_TRUE(SaveSelectionFile(path, tree));

    QByteArray expected("TPF0\x0ATSelection\x00", 16);
    expected += QByteArray("\x03Tag\x02\x00", 6);
    expected += QByteArray("\x0AStartFrame\x02\x0A", 13);
    expected += QByteArray("\x08"
                           "EndFrame\x02\x14",
                           11);
    expected += QByteArray("\x07"
                           "Caption\x06\x11Range_00010_00020",
                           27);
    expected += QByteArray("\x05Index\x02\x0A", 8);
    expected += QByteArray("\x09"
                           "frmLength\x02\x0B",
                           12);
    expected += QByteArray("\x0ASourceKind\x02\x01", 13);
    expected += QByteArray("\x0AIconsCount\x02\x00", 13);
    expected += QByteArray("\x06IPList\x06\x06(None)", 15);
    expected += QByteArray(2, '\0');
    EXPECT_EQ(ReadAll(path).toHex(' '), expected.toHex(' '));

    ASSERT_EQ(LoadSelectionFile(path, readTree, PluginTable()).added, 1);
    const TSelection& s = *Loaded(readTree)[0];
    EXPECT_EQ(s.StartFrame, 10);
    EXPECT_EQ(s.EndFrame, 20);
    EXPECT_EQ(s.Caption, "Range_00010_00020");
    EXPECT_EQ(s.Index, 10);
    EXPECT_EQ(s.frmLength, 11);
    EXPECT_EQ(s.SourceKind, 1);
    EXPECT_EQ(s.IPList, "(None)");
    EXPECT_TRUE(s.Effects.empty());
}

TEST_F(SelectionFileTest, FrameZeroLeavesOutInAndOutPoints) {
    tree.AddSelectionToTree(MakeSelection(0, 0, "Frame_00000"));
    ASSERT_TRUE(SaveSelectionFile(path, tree));
    const QByteArray bytes = ReadAll(path);
    EXPECT_FALSE(bytes.contains("StartFrame"));
    EXPECT_FALSE(bytes.contains("EndFrame"));
    EXPECT_FALSE(bytes.contains("IPList")); // empty chain caption

    ASSERT_EQ(LoadSelectionFile(path, readTree, PluginTable()).added, 1);
    EXPECT_EQ(Loaded(readTree)[0]->StartFrame, 0);
    EXPECT_EQ(Loaded(readTree)[0]->EndFrame, 0);
    EXPECT_EQ(Loaded(readTree)[0]->frmLength, 1);
}

TEST_F(SelectionFileTest, IntegersUseTheSmallestFormAndLargeFramesTheWideOne) {
    auto s = MakeSelection(5000000000LL, 5000000000LL, "Far");
    s->Tag = std::numeric_limits<int32_t>::min();
    s->Index = 40000;
    s->SourceKind = -200;
    tree.AddSelectionToTree(std::move(s));
    ASSERT_TRUE(SaveSelectionFile(path, tree));
    const QByteArray bytes = ReadAll(path);
    EXPECT_TRUE(bytes.contains(QByteArray("StartFrame\x13\x00\xF2\x05\x2A\x01\x00\x00\x00", 19)));
    EXPECT_TRUE(bytes.contains(QByteArray("Index\x04\x40\x9C\x00\x00", 10)));
    EXPECT_TRUE(bytes.contains(QByteArray("SourceKind\x03\x38\xFF", 13)));
    EXPECT_TRUE(bytes.contains(QByteArray("Tag\x04\x00\x00\x00\x80", 8)));

    const auto read = SaveAndLoad();
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0]->StartFrame, 5000000000LL);
    EXPECT_EQ(read[0]->EndFrame, 5000000000LL);
    EXPECT_EQ(read[0]->Tag, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(read[0]->SourceKind, -200);

    // Written back, the frame keeps its 64-bit form.
    const QString again = dir.filePath("again.sel");
    ASSERT_TRUE(SaveSelectionFile(again, readTree));
    EXPECT_EQ(ReadAll(again), bytes);
}

TEST_F(SelectionFileTest, LongCaptionUsesTheLongTextForm) {
    const QString caption(300, QChar('c'));
    tree.AddSelectionToTree(MakeSelection(1, 2, caption));
    ASSERT_TRUE(SaveSelectionFile(path, tree));
    EXPECT_TRUE(
        ReadAll(path).contains(QByteArray("Caption\x0C\x2C\x01\x00\x00", 12) + caption.toLatin1()));
    const auto read = SaveAndLoad();
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0]->Caption, caption);
}

TEST_F(SelectionFileTest, CaptionsKeepEveryCharacter) {
    const QString western = QString::fromUtf8("Été € 1½");
    const QString beyond = QString::fromUtf8("Прага ✓ 東京 😀");
    const QString lookalike = QString::fromUtf8("Ã©"); // its windows-1252 bytes are UTF-8 for "é"
    tree.AddSelectionToTree(MakeSelection(1, 1, western));
    tree.AddSelectionToTree(MakeSelection(2, 2, beyond, beyond));
    tree.AddSelectionToTree(MakeSelection(3, 3, lookalike));
    ASSERT_TRUE(SaveSelectionFile(path, tree));
    // Text that fits windows-1252 is stored in it, one byte a character.
    EXPECT_TRUE(ReadAll(path).contains(QByteArray("\x06\x08\xC9t\xE9 \x80 1\xBD", 10)));

    const auto read = SaveAndLoad();
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0]->Caption, western);
    EXPECT_EQ(read[1]->Caption, beyond);
    EXPECT_EQ(read[1]->IPList, beyond);
    EXPECT_EQ(read[2]->Caption, lookalike);
}

TEST_F(SelectionFileTest, ReadsUtf8AndWindows1252Texts) {
    const QByteArray file =
        RecordWith(Entry("Caption", QByteArray("\x06\x02\xC3\xA9", 4))) + // UTF-8 "é"
        RecordWith(Entry("Caption", QByteArray("\x06\x02\xE9\x80", 4)));  // windows-1252 "é€"
    WriteAll(path, file);
    ASSERT_EQ(LoadSelectionFile(path, readTree, PluginTable()).added, 2);
    EXPECT_EQ(Loaded(readTree)[0]->Caption, QString::fromUtf8("é"));
    EXPECT_EQ(Loaded(readTree)[1]->Caption, QString::fromUtf8("é€"));
}

TEST_F(SelectionFileTest, EmptyTreeSavesAnEmptyFileThatLoadsNothing) {
    WriteAll(path, "old contents");
    ASSERT_TRUE(SaveSelectionFile(path, tree));
    EXPECT_EQ(QFileInfo(path).size(), 0);
    const SelectionLoadResult result = LoadSelectionFile(path, readTree, PluginTable());
    EXPECT_EQ(result.outcome, SelectionLoadResult::Loaded);
    EXPECT_EQ(result.added, 0);
    EXPECT_FALSE(result.damaged);
    EXPECT_TRUE(readTree.isEmpty());
}

TEST_F(SelectionFileTest, SavesInTreeOrderAndLoadAppends) {
    tree.AddSelectionToTree(MakeSelection(1, 1, "first"));
    tree.AddSelectionToTree(MakeSelection(2, 2, "second"));
    tree.AddSelectionToTree(MakeSelection(3, 3, "third"));
    ASSERT_TRUE(tree.MoveRoot(2, tree.index(0, 0)));
    ASSERT_TRUE(SaveSelectionFile(path, tree));

    readTree.AddSelectionToTree(MakeSelection(9, 9, "already there"));
    ASSERT_EQ(LoadSelectionFile(path, readTree, PluginTable()).added, 3);
    ASSERT_EQ(LoadSelectionFile(path, readTree, PluginTable()).added, 3);
    QStringList captions;
    for (TSelection* s : Loaded(readTree))
        captions << s->Caption;
    EXPECT_EQ(captions.join(' '), "already there third first second third first second");
    EXPECT_EQ(readList.size(), 7u);
}

TEST_F(SelectionFileTest, DamageKeepsTheRecordsBeforeIt) {
    tree.AddSelectionToTree(MakeSelection(10, 20, "Range_00010_00020", "(None)"));
    tree.AddSelectionToTree(MakeSelection(30, 40, "Range_00030_00040", "(None)"));
    ASSERT_TRUE(SaveSelectionFile(path, tree));
    const QByteArray whole = ReadAll(path);
    const int firstEnd = whole.indexOf("TPF0", 4);
    ASSERT_GT(firstEnd, 0);

    // Every cut inside the second record yields exactly the first.
    for (int cut = firstEnd + 1; cut < whole.size(); ++cut) {
        WriteAll(path, whole.left(cut));
        SelectionList l;
        SelectionTree t(l);
        const SelectionLoadResult result = LoadSelectionFile(path, t, PluginTable());
        ASSERT_EQ(result.added, 1) << "cut at " << cut;
        EXPECT_TRUE(result.damaged);
        EXPECT_EQ(Loaded(t)[0]->Caption, "Range_00010_00020");
    }
}

TEST_F(SelectionFileTest, HostileRecordsStopReadingSafely) {
    const QByteArray good = RecordWith(Entry("Caption", "\x06\x02ok"));
    const QByteArray bad[] = {
        // Long texts whose length exceeds the file (4 GB, 2 GB, negative).
        RecordWith(Entry("Caption", QByteArray("\x0C\xFF\xFF\xFF\x7F"
                                               "abc",
                                               8))),
        RecordWith(Entry("Caption", QByteArray("\x0C\x00\x00\x00\x80"
                                               "abc",
                                               8))),
        RecordWith(Entry("IPList", QByteArray("\x0C\xFF\xFF\xFF\xFF", 5))),
        RecordWith(Entry("Colour", "\x02\x01")),                           // not a stored property
        RecordWith(Entry("Tag", "\x06\x01x")),                             // text for an integer
        RecordWith(Entry("Index", QByteArray("\x13\0\0\0\0\0\0\0\0", 9))), // 64-bit for 32-bit
        RecordWith(Entry("Caption", "\x02\x01")),                          // integer for a text
        QByteArray("TPF0\x0ATSelection\x00\x00\x05", 18),                  // a child component
        QByteArray("TPF1\x0ATSelection\x00\x00\x00", 18),                  // wrong signature
        QByteArray("TPF"), // too short for a signature
    };
    for (const QByteArray& damage : bad) {
        WriteAll(path, good + damage + good);
        SelectionList l;
        SelectionTree t(l);
        const SelectionLoadResult result = LoadSelectionFile(path, t, PluginTable());
        EXPECT_EQ(result.added, 1) << damage.toHex().constData();
        EXPECT_TRUE(result.damaged);
    }
}

TEST_F(SelectionFileTest, PropertyNamesIgnoreCaseAndAbsentOnesReadAsZero) {
    WriteAll(path, RecordWith(Entry("caption", "\x06\x01x") +
                              Entry("ENDFRAME", QByteArray("\x03\x00\x01", 3))));
    ASSERT_EQ(LoadSelectionFile(path, readTree, PluginTable()).added, 1);
    const TSelection& s = *Loaded(readTree)[0];
    EXPECT_EQ(s.Caption, "x");
    EXPECT_EQ(s.EndFrame, 256);
    EXPECT_EQ(s.StartFrame, 0);
    EXPECT_EQ(s.frmLength, 0);
    EXPECT_TRUE(s.IPList.isEmpty());
}

TEST_F(SelectionFileTest, ChainsAreReboundFromTheLoadedPlugins) {
    tree.AddSelectionToTree(MakeSelection(1, 1, "a", "Lightness,Missing,Spray"));
    tree.AddSelectionToTree(MakeSelection(2, 2, "b", "(None)"));
    tree.AddSelectionToTree(MakeSelection(3, 3, "c", "Spray,"));
    ASSERT_TRUE(SaveSelectionFile(path, tree));
    ASSERT_EQ(LoadSelectionFile(path, readTree, TwoPlugins()).added, 3);
    const auto read = Loaded(readTree);
    ASSERT_EQ(read[0]->Effects.size(), 2u);
    EXPECT_EQ(read[0]->Effects[0].name(), "Lightness");
    EXPECT_EQ(read[0]->Effects[1].name(), "Spray");
    // The tree keeps showing the stored caption, unknown names included.
    EXPECT_EQ(read[0]->IPList, "Lightness,Missing,Spray");
    EXPECT_EQ(readTree.index(0, 0).model()->index(3, 0, readTree.index(0, 0)).data().toString(),
              "Lightness,Missing,Spray");
    EXPECT_TRUE(read[1]->Effects.empty());
    ASSERT_EQ(read[2]->Effects.size(), 1u);
}

TEST_F(SelectionFileTest, ActionsReportTheirMessages) {
    const QString source = dir.filePath("holiday.mpg");
    tree.AddSelectionToTree(MakeSelection(4, 8, "x"));
    EXPECT_EQ(LoadSelectionsForSource(source, readTree, PluginTable()), kCannotLoadSelectionFile);
    EXPECT_EQ(SaveSelectionsForSource(source, tree), QString());
    EXPECT_TRUE(QFile::exists(dir.filePath("holiday.sel")));
    EXPECT_EQ(LoadSelectionsForSource(source, readTree, PluginTable()), QString());
    EXPECT_EQ(readList.size(), 1u);

    // A folder in the file's place can be neither written nor read.
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.sel"));
    EXPECT_EQ(SaveSelectionsForSource(dir.filePath("folder.avi"), tree), kCannotSaveSelectionFile);
    EXPECT_EQ(LoadSelectionFile(dir.filePath("folder.sel"), readTree, PluginTable()).outcome,
              SelectionLoadResult::CannotOpen);
    // A file whose folder cannot exist.
    EXPECT_EQ(SaveSelectionsForSource(dir.filePath("holiday.sel/clip.mpg"), tree),
              kCannotSaveSelectionFile);
    EXPECT_EQ(readList.size(), 1u);
}
