#include "app/settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <cmath>
#include <limits>

namespace stillora {

namespace {

// The settings file is small; a bigger one is not ours to parse.
constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

} // namespace

QString SettingsStore::DefaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Stillora/settings.json");
}

SettingsStore::SettingsStore(const QString& filePath) : filePath_(filePath) {
    QFile file(filePath_);
    if (!file.exists()) return;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize) {
        readFailed_ = true;
        problem_ = QStringLiteral("The settings file %1 cannot be read; the defaults are used.")
                       .arg(filePath_);
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        readFailed_ = true;
        problem_ = QStringLiteral("The settings file %1 is damaged; the defaults are used.")
                       .arg(filePath_);
        return;
    }
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QJsonValue value = it.value();
        if (value.isString()) {
            WriteSetting(it.key(), value.toString());
        } else if (value.isDouble()) {
            // Only whole numbers in the 32-bit range are integers of ours.
            const double number = value.toDouble();
            if (std::floor(number) == number && number >= std::numeric_limits<int32_t>::min() &&
                number <= std::numeric_limits<int32_t>::max())
                WriteSetting(it.key(), static_cast<int32_t>(number));
        }
    }
}

std::optional<SettingValue> SettingsStore::ReadSetting(const QString& name) const {
    auto found = values_.find(Key(name));
    if (found == values_.end()) return std::nullopt;
    return found->second.value;
}

SettingValue SettingsStore::ReadSettingOrDefault(const QString& name,
                                                 const SettingValue& fallback) const {
    return ReadSetting(name).value_or(fallback);
}

void SettingsStore::WriteSetting(const QString& name, const SettingValue& value) {
    values_[Key(name)] = Entry{name, value};
}

bool SettingsStore::KeepDamagedCopy() {
    if (!readFailed_ || !damagedCopy_.isEmpty() || !QFile::exists(filePath_)) return true;
    // An earlier copy is never replaced: the first free name is taken.
    for (int n = 1; n <= 20; ++n) {
        const QString copy = filePath_ + QStringLiteral(".damaged") +
                             (n == 1 ? QString() : QStringLiteral(".%1").arg(n));
        if (QFileInfo::exists(copy) || QFileInfo(copy).isSymLink()) continue;
        if (!QFile::copy(filePath_, copy)) break;
        if (QFileInfo(copy).size() == QFileInfo(filePath_).size()) {
            damagedCopy_ = copy;
            return true;
        }
        QFile::remove(copy);
        break;
    }
    problem_ = QStringLiteral("The settings file %1 cannot be read and no copy of it can be "
                              "made; it is left as it is and the settings are not stored.")
                   .arg(filePath_);
    return false;
}

bool SettingsStore::Save() {
    QJsonObject object;
    for (const auto& [key, entry] : values_) {
        if (const int32_t* number = std::get_if<int32_t>(&entry.value))
            object.insert(entry.name, *number);
        else
            object.insert(entry.name, std::get<QString>(entry.value));
    }
    if (!QDir().mkpath(QFileInfo(filePath_).absolutePath())) return false;
    // A file that could not be read is kept aside before anything replaces
    // it; when no copy can be made it stays as it is and nothing is written.
    if (!KeepDamagedCopy()) return false;
    QSaveFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace stillora
