#pragma once
// The selection list file: the selections made for a source, stored beside
// it (/clips/holiday.mpg keeps its list in /clips/holiday.sel) so that
// reopening the source brings them back.
//
// Layout: records back to back, no header, count or trailer. One record per
// top-level selection of the tree, in tree order:
//   "TPF0", class name (length byte + "TSelection"), component name (0),
//   property entries (length byte, name, typed value), 00, 00.
// Typed values: 02/03/04 signed 8/16/32-bit integers, 13 (hex) 64-bit
// integer, 06 short text (length byte), 0C long text (4-byte length). All
// integers little-endian. Integers use the smallest form that holds them,
// texts the short form up to 255 bytes.
//
// Texts are written in windows-1252 when every character has a byte there;
// otherwise (and when the windows-1252 bytes would read back as different
// UTF-8) as UTF-8 in the same short/long forms. Readers take a text that is
// valid UTF-8 as UTF-8 and anything else as windows-1252, so every caption
// survives a save and a load, and older readers still find every record.
//
// Errors travel as values: the functions below never show anything; the
// window shows the returned texts through the dialog service.

#include "pluginhost/PluginRecord.h"
#include "selection/Selection.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class QIODevice;

namespace stillora {

class SelectionTree;

// Texts of the two actions (hints) and of their error boxes (error box, OK).
inline const QString kSaveSelectionsHint =
    QStringLiteral("Saves the corresponding selection list for the current source.");
inline const QString kLoadSelectionsHint =
    QStringLiteral("Loads the corresponding selection list for the current source.");
inline const QString kCannotSaveSelectionFile = QStringLiteral("Cannot save selection file.");
inline const QString kCannotLoadSelectionFile = QStringLiteral("Cannot load selection file.");

// The list file of a source: the text after the last "." of the last path
// component replaced by "sel"; a name without an extension gets ".sel".
QString SelectionFileName(const QString& sourceName);

// Stored-text codec (see above). EncodeStoredText never fails;
// DecodeStoredText(EncodeStoredText(s)) == s for every text without
// unpaired surrogates.
QByteArray EncodeStoredText(const QString& text);
QString DecodeStoredText(const QByteArray& bytes);

// One record for the selection's stored properties.
QByteArray WriteSelectionRecord(const TSelection& selection);

// Reads records one after the other from a device opened for reading.
// Every length in the input is checked against the bytes left before
// anything is allocated, so damaged or hostile input costs at most its own
// size.
class SelectionRecordReader {
public:
    explicit SelectionRecordReader(QIODevice& device) : device_(device) {}
    // The next selection, or nullptr at the end of the input or at the first
    // damaged record (reading stops there for good). The selection has no
    // slots and no effect chain; IPList holds the stored chain caption.
    std::unique_ptr<TSelection> Next();
    // True once a record failed with bytes still left (not a clean end).
    bool damaged() const { return damaged_; }

private:
    QIODevice& device_;
    bool done_ = false;
    bool damaged_ = false;
};

// Writes the top-level selections of the tree, in tree order, replacing the
// file atomically: a failed save leaves the previous file as it was. An
// empty tree gives a zero-byte file. Returns false when the file cannot be
// written.
bool SaveSelectionFile(const QString& path, const SelectionTree& tree);

struct SelectionLoadResult {
    enum Outcome { Loaded, Missing, CannotOpen };
    Outcome outcome = Missing;
    int added = 0;        // selections appended to the tree
    bool damaged = false; // a damaged record ended reading early
    // Whether the file existed (the classic boolean answer of loading).
    bool existed() const { return outcome != Missing; }
};

// Appends the file's selections to the tree (it is not cleared first), each
// with its chain rebound from its stored chain caption: "(None)" gives no
// effects; otherwise each ","-separated name (a trailing empty one does not
// count) is looked up among `plugins` (exact name, first record wins) and
// names without a plug-in are skipped. IPList keeps the stored caption, so
// the tree shows it whole; with no plug-ins loaded every chain stays empty. Records before a
// damaged one stay; the damaged one and all after it are dropped without an error.
SelectionLoadResult LoadSelectionFile(const QString& path, SelectionTree& tree,
                                      const PluginTable& plugins);

// What the window's actions do, minus the boxes. Each returns the text to
// show in an error box with an OK button, or an empty text on success.
//   actSave: SaveSelectionsForSource(SourceName, Tree()).
//   actLoad: LoadSelectionsForSource(SourceName, Tree(), Plugins()); then
//            UpdateNextButton() (whatever the result).
QString SaveSelectionsForSource(const QString& sourceName, const SelectionTree& tree);
QString LoadSelectionsForSource(const QString& sourceName, SelectionTree& tree,
                                const PluginTable& plugins);

} // namespace stillora
