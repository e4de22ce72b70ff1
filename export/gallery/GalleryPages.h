#pragma once
// The texts of the web gallery: page header and footer, the index table,
// the image pages, and the rules that make user text safe inside them.
// Pure functions of their arguments; GalleryExporter puts them together.

#include "export/gallery/GallerySettings.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace stillora::gallery {

// The generator name written into every page.
inline constexpr const char* kGenerator = "Stillora 1.0";
// Where the footer's "Made with" link points.
inline constexpr const char* kProductPage = "https://stillora.example/";

// Fills `tmpl`: each of "%s", "%S", "%d" and "%.2f" takes the next of
// `args` as it stands (callers format numbers), and every "```37" of the
// template becomes a literal "%". Text from `args` is never rescanned, so a
// caption holding "```37" or "%s" stays as typed.
QString FillTemplate(const char* tmpl, const QStringList& args);

// Escapes text for HTML content and attribute values: & < > ".
QString HtmlEscape(const QString& text);
// A file name as the value of an href or src attribute: escaped like
// HtmlEscape, with the characters a browser would read as part of the URL's
// syntax (% # ? \) percent-encoded, so that the link finds the file.
QString UrlEscape(const QString& fileName);
// The page text in windows-1252; characters that code page lacks become
// numeric character references ("&#8364;" is never needed: the euro sign is
// in it, "&#12354;" is).
QByteArray EncodeWindows1252(const QString& text);

// Six upper-case hex digits, red, green, blue.
QString HtmlColor(const QColor& color);
// The table width typed on the Config page: surrounding blanks removed,
// decimal; 800 when that fails.
int TableWidth(const QString& text);
// round(percent * size / 100), halves to the even neighbour.
int ThumbnailExtent(int percent, int size);
// Bytes as kilobytes with two decimals and a point: 2560 gives "2.50".
QString Kilobytes(int64_t bytes);
// The index page's file name: the title (or "index" when it is empty)
// followed by ".html". A "/" in the title would put the page in another
// folder, so it is written as "_".
QString IndexFileName(const QString& title);
// The name of a still without its extension, up to and including the dot
// ("Untitled_Intro_00003." for "Untitled_Intro_00003.jpg").
QString StillBase(const QString& stillPath);
// The title of a frame's cell and image page: the caption for a selection
// of one frame, else the caption, " Frame " and the source frame number.
QString FrameTitle(const QString& caption, bool singleFrame, int64_t sourceFrame);

// "<html>", the head titled `heading`, the body element with the colours of
// `settings`, the font "Verdana" at `fontSize`, and `heading` as the heading.
QString PageOpening(const GallerySettings& settings, const QString& heading,
                    const QString& fontSize);
// PageOpening() with the gallery title at "8pt", shared by every page.
QString Header(const GallerySettings& settings);
// The "Made with" line and the end of the page.
QString Footer();
// The index table's opening tag.
QString TableOpening(const GallerySettings& settings, int tableWidth);
// The body of an image page, between header and footer.
QString ImagePageBody(const QString& imageName, const QString& title, const QString& indexName);
// One cell of the index table, link and info included.
QString Cell(const QString& base, const QString& title, bool edge, int thumbWidth, int thumbHeight,
             int64_t stillBytes, int cellWidth);

} // namespace stillora::gallery
