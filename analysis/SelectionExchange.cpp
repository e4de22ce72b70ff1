#include "analysis/SelectionExchange.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace stillora {

FrameClock::FrameClock(std::vector<double> times, double rate) : times_(std::move(times)), rate_(rate) {
    if (!(rate_ > 0) && times_.size() > 1) rate_ = double(times_.size() - 1) / (times_.back() - times_.front());
    if (!(rate_ > 0) || !std::isfinite(rate_)) rate_ = 25.0;
}

double FrameClock::timeOf(int64_t frame) const {
    if (times_.empty()) return double(frame) / rate_;
    if (frame < 0) return times_.front() + double(frame) / rate_;
    const int64_t count = frames();
    if (frame < count) return times_[static_cast<size_t>(frame)];
    return times_.back() + double(frame - count + 1) / rate_;
}

int64_t FrameClock::frameAt(double seconds) const {
    if (times_.empty()) return std::max<int64_t>(0, std::llround(seconds * rate_));
    auto it = std::lower_bound(times_.begin(), times_.end(), seconds);
    if (it == times_.end()) return frames() - 1;
    if (it != times_.begin() && seconds - *(it - 1) <= *it - seconds) --it;
    return it - times_.begin();
}

int64_t FrameClock::frameEndingAt(double seconds) const {
    if (frames() > 0 && seconds > timeOf(frames() - 1) + 0.5 / rate_) return frames();
    return frameAt(seconds);
}

ExchangeFormat exchangeFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "csv") return ExchangeFormat::Csv;
    if (suffix == "edl") return ExchangeFormat::Edl;
    return ExchangeFormat::Unknown;
}

QString clockText(double seconds) {
    const int64_t ms = std::llround(std::max(0.0, seconds) * 1000.0);
    return QString::asprintf("%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                             static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                             static_cast<long long>(ms % 1000));
}

namespace {

int nominalRate(double rate) { return std::max(1, static_cast<int>(std::lround(rate))); }

// Frame numbers a drop-frame timecode skips at the start of each minute
// except every tenth: 2 at 29.97, 4 at 59.94.
int droppedPerMinute(double rate) { return nominalRate(rate) / 15; }

} // namespace

bool isDropFrameRate(double rate) {
    return std::abs(rate - 30000.0 / 1001.0) < 0.005 || std::abs(rate - 60000.0 / 1001.0) < 0.01;
}

QString timecodeText(int64_t count, double rate, bool dropFrame) {
    const int64_t fps = nominalRate(rate);
    count = std::max<int64_t>(0, count);
    dropFrame = dropFrame && isDropFrameRate(rate);
    if (dropFrame) {
        const int64_t drop = droppedPerMinute(rate);
        const int64_t perTenMinutes = fps * 600 - drop * 9;
        const int64_t perMinute = fps * 60 - drop;
        const int64_t tens = count / perTenMinutes;
        const int64_t rest = count % perTenMinutes;
        count += drop * 9 * tens + (rest > drop ? drop * ((rest - drop) / perMinute) : 0);
    }
    const int64_t ff = count % fps;
    const int64_t seconds = count / fps;
    return QString::asprintf("%02lld:%02lld:%02lld%c%02lld", static_cast<long long>(seconds / 3600),
                             static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60),
                             dropFrame ? ';' : ':', static_cast<long long>(ff));
}

int64_t timecodeCount(const QString& text, double rate, bool dropFrame) {
    static const QRegularExpression pattern(R"(^(\d{1,2}):(\d{2}):(\d{2})([:;.,])(\d{2,3})$)");
    const auto match = pattern.match(text.trimmed());
    if (!match.hasMatch()) return -1;
    const int64_t fps = nominalRate(rate);
    const int64_t hh = match.captured(1).toLongLong(), mm = match.captured(2).toLongLong(),
                  ss = match.captured(3).toLongLong(), ff = match.captured(5).toLongLong();
    if (mm > 59 || ss > 59 || ff >= fps) return -1;
    // A semicolon (or a comma) marks drop-frame numbering, whatever was announced.
    const bool drop = (dropFrame || match.captured(4) == ";" || match.captured(4) == ",") && isDropFrameRate(rate);
    const int64_t minutes = hh * 60 + mm;
    if (drop && ss == 0 && mm % 10 != 0 && ff < droppedPerMinute(rate)) return -1; // a skipped number
    int64_t count = (minutes * 60 + ss) * fps + ff;
    if (drop) count -= droppedPerMinute(rate) * (minutes - minutes / 10);
    return count;
}

namespace {

QString csvField(const QString& text) {
    if (!text.contains(QRegularExpression(R"([",\r\n])")) && text.trimmed() == text) return text;
    QString quoted = text;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

struct CsvRecord {
    int line = 0; // where the record starts, from 1
    QStringList fields;
    bool broken = false; // a quote that never closes
};

std::vector<CsvRecord> splitCsv(const QString& text) {
    std::vector<CsvRecord> records;
    CsvRecord record;
    QString field;
    bool quoted = false, any = false;
    int line = 1;
    record.line = 1;
    auto endRecord = [&] {
        record.fields << field;
        if (any || record.fields.size() > 1 || !record.fields.front().trimmed().isEmpty()) records.push_back(record);
        record = CsvRecord();
        field.clear();
        any = false;
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == '\n') ++line;
                field += c;
            }
            continue;
        }
        if (c == '"' && field.trimmed().isEmpty()) {
            field.clear();
            quoted = any = true;
        } else if (c == ',') {
            record.fields << field;
            field.clear();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            endRecord();
            record.line = ++line;
        } else {
            field += c;
        }
    }
    if (quoted) record.broken = true;
    if (!field.isEmpty() || !record.fields.isEmpty() || quoted) endRecord();
    return records;
}

// Seconds from "12.5", "HH:MM:SS.mmm", "MM:SS.mmm" or an "HH:MM:SS:FF" timecode.
bool parseTime(const QString& raw, double rate, double* seconds) {
    const QString text = raw.trimmed();
    bool ok = false;
    const double plain = text.toDouble(&ok);
    if (ok) {
        *seconds = plain;
        return plain >= 0 && std::isfinite(plain);
    }
    static const QRegularExpression clock(R"(^(?:(\d+):)?(\d{1,2}):(\d{1,2}(?:\.\d+)?)$)");
    const auto m = clock.match(text);
    if (m.hasMatch()) {
        *seconds = m.captured(1).toDouble() * 3600 + m.captured(2).toDouble() * 60 + m.captured(3).toDouble();
        return true;
    }
    const int64_t count = timecodeCount(text, rate, false);
    if (count < 0) return false;
    *seconds = double(count) / rate;
    return true;
}

int columnOf(const QStringList& header, std::initializer_list<const char*> names) {
    for (int i = 0; i < header.size(); ++i)
        for (const char* name : names)
            if (header[i].trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

} // namespace

QByteArray writeSelectionsCsv(const std::vector<ExchangedSelection>& selections, const FrameClock& clock) {
    QString out = QStringLiteral("Caption,First frame,Last frame,Start time,End time\r\n");
    for (const auto& s : selections)
        out += csvField(s.caption) + ',' + QString::number(s.span.first) + ',' + QString::number(s.span.last) +
               ',' + clockText(clock.timeOf(s.span.first)) + ',' + clockText(clock.timeOf(s.span.last + 1)) +
               "\r\n";
    return out.toUtf8();
}

ExchangeReadResult readSelectionsCsv(const QByteArray& bytes, const FrameClock& clock) {
    ExchangeReadResult result;
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    const std::vector<CsvRecord> records = splitCsv(text);
    // The header is the first record that names a start: scene lists open
    // with a line of cut timecodes before it.
    size_t headerAt = 0;
    int caption = -1, first = -1, last = -1, start = -1, end = -1;
    bool found = false;
    for (; headerAt < records.size() && headerAt < 3 && !found; ++headerAt) {
        const QStringList& h = records[headerAt].fields;
        first = columnOf(h, {"First frame", "Start frame", "First", "Start"});
        last = columnOf(h, {"Last frame", "End frame", "Last"});
        start = columnOf(h, {"Start time", "Start Time (seconds)", "Start timecode", "In"});
        end = columnOf(h, {"End time", "End Time (seconds)", "End timecode", "Out"});
        caption = columnOf(h, {"Caption", "Name", "Title"});
        found = (first >= 0 && last >= 0) || (start >= 0 && end >= 0);
    }
    if (!found) {
        result.error = QStringLiteral("The file is no list of selections: no column names a first frame or a start time.");
        return result;
    }
    const QStringList& header = records[headerAt - 1].fields;
    // A scene list counts frames from 1 and gives each scene's end as the
    // start of the next; its times in seconds say exactly what it means.
    const bool sceneList = columnOf(header, {"Scene Number"}) >= 0;
    const int startSeconds = columnOf(header, {"Start Time (seconds)"});
    const int endSeconds = columnOf(header, {"End Time (seconds)"});
    if (sceneList && startSeconds >= 0 && endSeconds >= 0) {
        start = startSeconds;
        end = endSeconds;
        first = last = -1;
    }
    const int scene = columnOf(header, {"Scene Number"});
    const int64_t frames = clock.frames();
    for (size_t r = headerAt; r < records.size(); ++r) {
        const CsvRecord& record = records[r];
        const QString where = QStringLiteral("Line %1: ").arg(record.line);
        if (record.broken) {
            result.problems << where + QStringLiteral("a quoted text never ends.");
            continue;
        }
        const QStringList& f = record.fields;
        auto field = [&](int column) { return column >= 0 && column < f.size() ? f[column].trimmed() : QString(); };
        FrameSpan span;
        bool byFrames = false;
        if (first >= 0 && last >= 0 && !field(first).isEmpty() && !field(last).isEmpty()) {
            bool ok1 = false, ok2 = false;
            span.first = field(first).toLongLong(&ok1);
            span.last = field(last).toLongLong(&ok2);
            if (!ok1 || !ok2) {
                result.problems << where + QStringLiteral("the frame numbers are no whole numbers.");
                continue;
            }
            byFrames = true;
        } else {
            double from = 0, to = 0;
            if (start < 0 || end < 0 || !parseTime(field(start), clock.rate(), &from) ||
                !parseTime(field(end), clock.rate(), &to)) {
                result.problems << where + QStringLiteral("neither frame numbers nor times can be read.");
                continue;
            }
            // The end time is where the last frame ends: the next frame starts there.
            span.first = clock.frameAt(from);
            span.last = to > from ? std::max(span.first, clock.frameEndingAt(to) - 1) : span.first;
        }
        if (span.first < 0 || span.last < span.first) {
            result.problems << where + QStringLiteral("the last frame comes before the first.");
            continue;
        }
        if (frames > 0 && span.last >= frames) {
            result.problems << where + QStringLiteral("frame %1 lies past the video's end (%2 frames).")
                                           .arg(byFrames ? span.last : span.first)
                                           .arg(frames);
            continue;
        }
        ExchangedSelection s;
        s.span = span;
        s.caption = field(caption);
        if (s.caption.isEmpty() && sceneList && !field(scene).isEmpty())
            s.caption = QStringLiteral("Scene_") + field(scene);
        if (s.caption.isEmpty()) s.caption = SelectionCaption(span.first, span.last);
        result.selections.push_back(s);
    }
    return result;
}

QByteArray writeSelectionsEdl(const std::vector<ExchangedSelection>& selections, const FrameClock& clock,
                              const QString& title) {
    const double rate = clock.rate();
    const bool drop = isDropFrameRate(rate);
    QString out = QStringLiteral("TITLE: ") + (title.isEmpty() ? QStringLiteral("Selections") : title) + "\r\n";
    out += drop ? QStringLiteral("FCM: DROP FRAME\r\n\r\n") : QStringLiteral("FCM: NON-DROP FRAME\r\n\r\n");
    int64_t record = 0;
    int event = 1;
    // Timecodes count frames at the video's rate from its first frame's time.
    auto countOf = [&](int64_t frame) -> int64_t { return std::llround((clock.timeOf(frame) - clock.timeOf(0)) * rate); };
    for (const auto& s : selections) {
        const int64_t in = countOf(s.span.first);
        const int64_t end = std::max(in + 1, countOf(s.span.last + 1));
        out += QString::asprintf("%03d  AX       V     C        ", event % 1000) + timecodeText(in, rate, drop) +
               ' ' + timecodeText(end, rate, drop) + ' ' + timecodeText(record, rate, drop) + ' ' +
               timecodeText(record + end - in, rate, drop) + "\r\n";
        if (!title.isEmpty()) out += QStringLiteral("* FROM CLIP NAME: ") + title + "\r\n";
        out += QStringLiteral("* COMMENT: ") + QString(s.caption).replace(QRegularExpression("[\r\n]"), " ") +
               "\r\n\r\n";
        record += end - in;
        ++event;
    }
    return out.toUtf8();
}

ExchangeReadResult readSelectionsEdl(const QByteArray& bytes, const FrameClock& clock) {
    ExchangeReadResult result;
    const QStringList lines = QString::fromUtf8(bytes).split('\n');
    static const QRegularExpression eventLine(
        R"(^\s*(\d{1,6})\s+(\S+)\s+(\S+)\s+(C|D|W\d*|K\S*)\s+(?:(\d+)\s+)?(\S+)\s+(\S+)\s+(\S+)\s+(\S+)\s*$)");
    static const QRegularExpression looksLikeEvent(R"(^\s*\d{1,6}\s+\S)");
    const double rate = clock.rate();
    bool drop = isDropFrameRate(rate);
    const int64_t frames = clock.frames();
    ExchangedSelection* last = nullptr;
    bool seenTitle = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString(lines[i]).remove('\r');
        const QString where = QStringLiteral("Line %1: ").arg(i + 1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty()) continue;
        if (trimmed.startsWith("TITLE:", Qt::CaseInsensitive)) {
            seenTitle = true;
            continue;
        }
        if (trimmed.startsWith("FCM:", Qt::CaseInsensitive)) {
            drop = !trimmed.contains("NON", Qt::CaseInsensitive) && isDropFrameRate(rate);
            continue;
        }
        if (trimmed.startsWith('*')) {
            static const QRegularExpression comment(R"(^\*\s*COMMENT:\s*(.*)$)", QRegularExpression::CaseInsensitiveOption);
            const auto m = comment.match(trimmed);
            if (m.hasMatch() && last && !m.captured(1).trimmed().isEmpty()) last->caption = m.captured(1).trimmed();
            continue;
        }
        const auto m = eventLine.match(line);
        if (!m.hasMatch()) {
            if (looksLikeEvent.match(line).hasMatch()) {
                result.problems << where + QStringLiteral("the event cannot be read.");
                last = nullptr;
            }
            continue;
        }
        // Audio-only events hold no pictures.
        if (!m.captured(3).contains('V', Qt::CaseInsensitive) && !m.captured(3).contains('B', Qt::CaseInsensitive)) {
            last = nullptr;
            continue;
        }
        const int64_t in = timecodeCount(m.captured(6), rate, drop);
        const int64_t out = timecodeCount(m.captured(7), rate, drop);
        if (in < 0 || out < 0) {
            result.problems << where + QStringLiteral("a source timecode cannot be read.");
            last = nullptr;
            continue;
        }
        if (out <= in) {
            result.problems << where + QStringLiteral("the source out point does not come after the in point.");
            last = nullptr;
            continue;
        }
        // Timecodes count from the first frame's time; the out point is exclusive.
        ExchangedSelection s;
        s.span.first = clock.frameAt(clock.timeOf(0) + double(in) / rate);
        s.span.last = std::max(s.span.first, clock.frameEndingAt(clock.timeOf(0) + double(out) / rate) - 1);
        if (frames > 0 && double(in) / rate > clock.timeOf(frames) + 0.5 / rate) {
            result.problems << where + QStringLiteral("the event starts past the video's end.");
            last = nullptr;
            continue;
        }
        s.caption = SelectionCaption(s.span.first, s.span.last);
        result.selections.push_back(s);
        last = &result.selections.back();
    }
    if (result.selections.empty() && result.problems.isEmpty() && !seenTitle)
        result.error = QStringLiteral("The file is no edit decision list: it holds no events.");
    return result;
}

ExchangeReadResult readSelectionsFile(const QString& path, const FrameClock& clock) {
    ExchangeReadResult result;
    const ExchangeFormat format = exchangeFormatOf(path);
    if (format == ExchangeFormat::Unknown) {
        result.error = QStringLiteral("Selection lists are read from .csv and .edl files.");
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("Cannot read %1.").arg(QFileInfo(path).fileName());
        return result;
    }
    // A selection list is small: refuse anything that cannot be one.
    constexpr qint64 kMaxBytes = 64 << 20;
    if (file.size() > kMaxBytes) {
        result.error = QStringLiteral("%1 is too large for a selection list.").arg(QFileInfo(path).fileName());
        return result;
    }
    const QByteArray bytes = file.readAll();
    return format == ExchangeFormat::Csv ? readSelectionsCsv(bytes, clock) : readSelectionsEdl(bytes, clock);
}

bool writeSelectionsFile(const QString& path, const std::vector<ExchangedSelection>& selections,
                         const FrameClock& clock, const QString& title, QString* error) {
    const ExchangeFormat format = exchangeFormatOf(path);
    if (format == ExchangeFormat::Unknown) {
        if (error) *error = QStringLiteral("Selection lists are written as .csv and .edl files.");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = QStringLiteral("Cannot write %1.").arg(QFileInfo(path).fileName());
        return false;
    }
    const QByteArray bytes = format == ExchangeFormat::Csv ? writeSelectionsCsv(selections, clock)
                                                           : writeSelectionsEdl(selections, clock, title);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = QStringLiteral("Cannot write %1.").arg(QFileInfo(path).fileName());
        return false;
    }
    return true;
}

std::vector<ExchangedSelection> exchangedFrom(const std::vector<TSelection*>& selections) {
    std::vector<ExchangedSelection> out;
    for (const TSelection* s : selections)
        out.push_back({{std::min(s->StartFrame, s->EndFrame), std::max(s->StartFrame, s->EndFrame)}, s->Caption});
    return out;
}

SelectionList selectionsFrom(const std::vector<ExchangedSelection>& exchanged, int sourceKind) {
    std::vector<FrameSpan> spans;
    for (const auto& e : exchanged)
        spans.push_back(e.span);
    SelectionList list = makeSelections(spans, sourceKind);
    for (size_t i = 0; i < list.size(); ++i)
        list[i]->Caption = exchanged[i].caption;
    return list;
}

} // namespace stillora
