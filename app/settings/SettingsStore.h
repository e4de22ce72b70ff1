#pragma once
// The per-user settings store: named values, each a text or a 32-bit signed
// integer, with names compared without regard to case. The values live in
// one file in the user's configuration folder (a JSON object of names to
// numbers or strings), read when the store is made and written back, in one
// piece, by Save().

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <variant>

namespace stillora {

// A stored value: an integer or a text.
using SettingValue = std::variant<int32_t, QString>;

class SettingsStore {
public:
    // <configuration folder>/Stillora/settings.json
    static QString DefaultFilePath();

    // Reads the file; a missing, unreadable or damaged file gives an empty
    // store (every setting then takes its default).
    explicit SettingsStore(const QString& filePath = DefaultFilePath());

    // The value of that name, or nothing when the store has none.
    std::optional<SettingValue> ReadSetting(const QString& name) const;
    SettingValue ReadSettingOrDefault(const QString& name, const SettingValue& fallback) const;
    // Replaces the value and its type; kept in memory until Save().
    void WriteSetting(const QString& name, const SettingValue& value);
    bool Contains(const QString& name) const { return ReadSetting(name).has_value(); }

    // Writes every value to the file, atomically: when writing fails the
    // previous file stays as it was, the values stay in memory and false is
    // returned. Creates the folder when missing. A file that could not be
    // read is first copied to <file>.damaged (or .damaged.2 and so on when
    // that name is taken); when the copy cannot be made the file is left as
    // it is, nothing is written and problem() says so.
    bool Save();

    const QString& filePath() const { return filePath_; }
    // True when the file existed but could not be read or parsed.
    bool readFailed() const { return readFailed_; }
    // What went wrong with the file, in a sentence for the user; empty when
    // nothing did.
    const QString& problem() const { return problem_; }
    // Copies a file that could not be read aside now (Save() does it too),
    // so the program can tell the user at once. True when there is nothing
    // to keep or the copy was made; false, with problem() set, when it
    // cannot be made.
    bool KeepDamagedCopy();
    // Where the unreadable file was copied to, or empty.
    const QString& damagedCopy() const { return damagedCopy_; }

private:
    struct Entry {
        QString name; // spelling of the last write
        SettingValue value;
    };
    static QString Key(const QString& name) { return name.toCaseFolded(); }

    QString filePath_;
    std::map<QString, Entry> values_;
    bool readFailed_ = false;
    QString problem_;
    QString damagedCopy_;
};

} // namespace stillora
