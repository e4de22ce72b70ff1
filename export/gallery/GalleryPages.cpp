#include "export/gallery/GalleryPages.h"

#include <QFileInfo>

namespace stillora::gallery {

namespace {

const char* const kFont = "Verdana";
const char* const kFontSize = "8pt";

// windows-1252 bytes 0x80..0x9F; 0 where the code page leaves a hole.
constexpr char16_t kHighTable[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The windows-1252 byte of `code`, or -1 when the code page lacks it.
int windows1252Byte(char32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<int>(code);
    for (int i = 0; i < 32; ++i)
        if (kHighTable[i] != 0 && kHighTable[i] == code) return 0x80 + i;
    return -1;
}

QString number(int value) {
    return QString::number(value);
}

} // namespace

QString FillTemplate(const char* tmpl, const QStringList& args) {
    const QString text = QString::fromLatin1(tmpl);
    QString out;
    out.reserve(text.size() + 64);
    int next = 0;
    const auto take = [&] { return next < args.size() ? args[next++] : QString(); };
    for (int i = 0; i < text.size();) {
        if (text.at(i) == QLatin1Char('%')) {
            const QStringView rest = QStringView(text).mid(i);
            if (rest.startsWith(u"%.2f")) {
                out += take();
                i += 4;
                continue;
            }
            if (rest.startsWith(u"%s") || rest.startsWith(u"%S") || rest.startsWith(u"%d")) {
                out += take();
                i += 2;
                continue;
            }
        } else if (QStringView(text).mid(i).startsWith(u"```37")) {
            out += QLatin1Char('%');
            i += 5;
            continue;
        }
        out += text.at(i);
        ++i;
    }
    return out;
}

QString HtmlEscape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString UrlEscape(const QString& fileName) {
    QString out;
    out.reserve(fileName.size());
    for (const QChar c : fileName) {
        switch (c.unicode()) {
        case '%':
            out += QLatin1String("%25");
            break;
        case '#':
            out += QLatin1String("%23");
            break;
        case '?':
            out += QLatin1String("%3F");
            break;
        case '\\':
            out += QLatin1String("%5C");
            break;
        default:
            out += c;
        }
    }
    return HtmlEscape(out);
}

QByteArray EncodeWindows1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    const auto reference = [&](char32_t code) {
        out += "&#";
        out += QByteArray::number(static_cast<uint>(code));
        out += ';';
    };
    for (int i = 0; i < text.size(); ++i) {
        char32_t code = text.at(i).unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < text.size() &&
            text.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        } else if (QChar::isSurrogate(code)) {
            code = 0xFFFD; // half a pair names no character
        }
        if (code == 0 || (code >= 0x80 && code < 0xA0)) {
            // NUL and the C1 controls cannot be shown; a browser would even
            // read "&#128;" as the euro sign.
            reference(0xFFFD);
            continue;
        }
        const int byte = windows1252Byte(code);
        if (byte >= 0)
            out += static_cast<char>(byte);
        else
            reference(code);
    }
    return out;
}

QString HtmlColor(const QColor& color) {
    return QStringLiteral("%1%2%3")
        .arg(color.red(), 2, 16, QLatin1Char('0'))
        .arg(color.green(), 2, 16, QLatin1Char('0'))
        .arg(color.blue(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

int TableWidth(const QString& text) {
    bool ok = false;
    const int width = text.trimmed().toInt(&ok, 10);
    return ok ? width : 800;
}

int ThumbnailExtent(int percent, int size) {
    const int64_t scaled = static_cast<int64_t>(percent) * size;
    int64_t whole = scaled / 100;
    const int64_t rest = scaled % 100;
    if (rest > 50 || (rest == 50 && whole % 2 != 0)) ++whole;
    return static_cast<int>(whole);
}

QString Kilobytes(int64_t bytes) {
    return QString::number(static_cast<double>(bytes) / 1024.0, 'f', 2);
}

QString IndexFileName(const QString& title) {
    QString name = title.isEmpty() ? QStringLiteral("index") : title;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QChar(0), QLatin1Char('_'));
    return name + QStringLiteral(".html");
}

QString StillBase(const QString& stillPath) {
    const QString name = QFileInfo(stillPath).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name + QLatin1Char('.') : name.left(dot + 1);
}

QString FrameTitle(const QString& caption, bool singleFrame, int64_t sourceFrame) {
    if (singleFrame) return caption;
    return caption + QStringLiteral(" Frame ") + QString::number(sourceFrame);
}

QString PageOpening(const GallerySettings& s, const QString& heading, const QString& fontSize) {
    const QString title = HtmlEscape(heading);
    return QStringLiteral("<html>") +
           FillTemplate("<head><meta name=\"GENERATOR\" content=\"%s\"><meta "
                        "http-equiv=\"Content-Type\" content=\"text/html; "
                        "charset=windows-1252\"><title>%s</title></head>",
                        {QString::fromLatin1(kGenerator), title}) +
           FillTemplate("<body bgcolor=\"#%s\" text=\"#%s\" link=\"#%s\" vlink=\"#%s\" "
                        "style=\"font-family: %s; font-size: %s\">",
                        {HtmlColor(s.backColor), HtmlColor(s.textColor), HtmlColor(s.linkColor),
                         HtmlColor(s.visitedColor), QString::fromLatin1(kFont), fontSize}) +
           FillTemplate("<h3 align=\"center\">%S</h3>", {title});
}

QString Header(const GallerySettings& s) {
    return PageOpening(s, s.title, QString::fromLatin1(kFontSize));
}

QString Footer() {
    const QString madeWith = QStringLiteral("Made with <a HREF=\"%1\">Stillora</a>")
                                 .arg(QString::fromLatin1(kProductPage));
    return FillTemplate("<p align=\"right\">&nbsp;</p><p align=\"right\">%s</p>", {madeWith}) +
           QStringLiteral("</body></html>");
}

QString TableOpening(const GallerySettings& s, int tableWidth) {
    return FillTemplate("<div align=\"center\"><center><table border=\"%d\" style=\"font-family: "
                        "%s; font-size: %s\" cellspacing=\"%d\" cellpadding=\"%d\" "
                        "width=\"%s\">",
                        {number(0), QString::fromLatin1(kFont), QString::fromLatin1(kFontSize),
                         number(s.cellSpacing), number(s.cellPadding), number(tableWidth)});
}

QString ImagePageBody(const QString& imageName, const QString& title, const QString& indexName) {
    return FillTemplate(
        "<div align=\"center\"><center><table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" "
        "style=\"border-collapse: collapse\" bordercolor=\"#111111\" width=\"100```37\" "
        "id=\"AutoNumber1\" height=\"77```37\"><tr><td align=\"center\" "
        "height=\"95```37\"><IMG SRC=\"%s\"><p>%s</td></tr><tr><td valign=\"top\" "
        "height=\"5```37\" align=\"center\"><BR>| <a "
        "href=\"javascript:history.back();\">Back</a> | <a href=\"%s\">HOME</a> "
        "|</td></tr></table></center></div>",
        {UrlEscape(imageName), HtmlEscape(title), UrlEscape(indexName)});
}

QString Cell(const QString& base, const QString& title, bool edge, int thumbWidth, int thumbHeight,
             int64_t stillBytes, int cellWidth) {
    const QString page = UrlEscape(base + QStringLiteral("html"));
    const QString link =
        FillTemplate("<a href=\"%s\"><img border=\"%d\" src=\"%s\" width=\"%d\" "
                     "height=\"%d\"></a>",
                     {page, number(edge ? 1 : 0),
                      UrlEscape(QStringLiteral("tmb_") + base + QStringLiteral("jpg")),
                      number(thumbWidth), number(thumbHeight)});
    const QString info = FillTemplate("<a href=\"%s\">%s</a><font size=\"1\"><br>(%.2f Kb)</font>",
                                      {page, HtmlEscape(title), Kilobytes(stillBytes)});
    return FillTemplate("<td width=\"%s\" align=\"center\">%s<BR></td>",
                        {number(cellWidth), link + QStringLiteral("<BR>") + info});
}

} // namespace stillora::gallery
