#include "export/swf/SwfPreviewPage.h"

#include "export/gallery/GalleryPages.h"
#include "render/Naming.h"
#include "render/StillWriter.h"

#include <QFileInfo>

namespace stillora::swf {

namespace {

// Where the page's object element says the player can be fetched.
const char* const kPlayerDownload =
    "https://stillora.example/flash2/cabs/swflash.cab#version=4,0,0,0";

const char* const kObjectOpening =
    "<p align=\"center\"><OBJECT CLASSID=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" "
    "CODEBASE=\"";

// The rest of the object element: ID, size, the movie twice.
const char* const kObjectRest =
    "\" ID=\"%s\" WIDTH=\"%d\" HEIGHT=\"%d\" border=\"0\" BorderColor=\"#000000\"><param "
    "name=\"Movie\" value=\"%s\"><param name=\"Src\" value=\"%s\"><param name=\"WMode\" "
    "value=\"Window\"><param name=\"Play\" value=\"-1\"><param name=\"Loop\" "
    "value=\"-1\"><param name=\"Quality\" value=\"High\"><param name=\"SAlign\" value><param "
    "name=\"Menu\" value=\"-1\"><param name=\"Base\" value><param name=\"Scale\" "
    "value=\"ShowAll\"><param name=\"DeviceFont\" value=\"0\"><param name=\"EmbedMovie\" "
    "value=\"0\"><param name=\"BGColor\" value=\"FFFFFF\"><param name=\"SWRemote\" "
    "value><param name=\"Stacking\" value=\"below\"></OBJECT>";

// The statistics table. Several width attributes lack their closing quote;
// the page keeps them that way.
const char* const kStatistics =
    "<BR> <BR><b><font size=\"2\">Statistics for %s</font></b><table border=\"1\" "
    "cellpadding=\"5\" cellspacing=\"0\" style=\"border-collapse: collapse; font-family: "
    "Verdana; font-size: 10px\" width=\"100```37 id=\"AutoNumber1\">  <tr>    <td "
    "width=\"12```37 align=\"center\" bgcolor=\"#1F0048\">    <p "
    "align=\"left\">Description</td>    <td width=\"8```37 align=\"center\" "
    "bgcolor=\"#1F0048\">Unit</td>    <td width=\"102```37 align=\"center\" "
    "bgcolor=\"#1F0048\">Value</td>  </tr>  <tr>    <td width=\"12```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">File Name</font></b></td>    <td "
    "width=\"8```37 align=\"center\" bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    "
    "file</font></i></td>    <td width=\"102```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">%s</font></b></td>  </tr>  <tr>    <td "
    "width=\"12```37 align=\"left\" bgcolor=\"#A5CBF7\"><b><font "
    "color=\"#000000\">Width</font></b></td>    <td width=\"8```37 align=\"center\" "
    "bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    pixels</font></i></td>    <td "
    "width=\"102```37 align=\"left\" bgcolor=\"#A5CBF7\"><b><font "
    "color=\"#000000\">%d</font></b></td>  </tr>  <tr>    <td width=\"12```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">Height</font></b></td>    <td "
    "width=\"8```37 align=\"center\" bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    "
    "pixels</font></i></td>    <td width=\"102```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">%d</font></b></td>  </tr>   <tr>    <td "
    "width=\"12```37 align=\"left\" bgcolor=\"#A5CBF7\"><b><font "
    "color=\"#000000\">Length</font></b></td>    <td width=\"8```37 align=\"center\" "
    "bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    frames</font></i></td>    <td "
    "width=\"102```37 align=\"left\" bgcolor=\"#A5CBF7\"><b><font "
    "color=\"#000000\">%d</font></b></td>  </tr>  <tr>    <td width=\"12```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">    Framerate</font></b></td>    <td "
    "width=\"8```37 align=\"center\" bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    "
    "f.p.s.</font></i></td>    <td width=\"102```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">%d</font></b></td>  </tr>   <tr>    <td "
    "width=\"12```37 align=\"left\" bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">Frame "
    "Length</font></b></td>    <td width=\"8```37 align=\"center\" "
    "bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    frames</font></i></td>    <td "
    "width=\"102```37 align=\"left\" bgcolor=\"#A5CBF7\"><b><font "
    "color=\"#000000\">%d</font></b></td>  </tr>  <tr>    <td width=\"12```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">Fade Length</font></b></td>    <td "
    "width=\"8```37 align=\"center\" bgcolor=\"#A5CBF7\"><i><font color=\"#000000\">    "
    "frames</font></i></td>    <td width=\"102```37 align=\"left\" "
    "bgcolor=\"#A5CBF7\"><b><font color=\"#000000\">%d</font></b></td>  </tr></table>";

QString number(int value) {
    return QString::number(value);
}

} // namespace

QString SwfPreviewPageText(const SwfPreviewFacts& facts, const GallerySettings& colours) {
    const QFileInfo movie(facts.moviePath);
    const QString name = movie.fileName();
    const QString fullPath = movie.absoluteFilePath();
    const QString heading = QStringLiteral("Preview of ") + name;
    return gallery::PageOpening(colours, heading, QStringLiteral("9px")) +
           QString::fromLatin1(kObjectOpening) + QString::fromLatin1(kPlayerDownload) +
           gallery::FillTemplate(kObjectRest,
                                 {gallery::HtmlEscape(QStringLiteral("_") + fullPath),
                                  number(facts.width), number(facts.height),
                                  gallery::UrlEscape(name), gallery::UrlEscape(name)}) +
           gallery::FillTemplate(kStatistics,
                                 {gallery::HtmlEscape(name), gallery::HtmlEscape(fullPath),
                                  number(facts.width), number(facts.height), number(facts.frames),
                                  number(facts.rate), number(facts.framesPerSlide),
                                  number(facts.framesPerFade)}) +
           gallery::Footer();
}

QString SwfPreviewPagePath(const QString& moviePath) {
    return ReplaceExtension(moviePath, QStringLiteral(".html"));
}

bool WriteSwfPreviewPage(const SwfPreviewFacts& facts, const GallerySettings& colours,
                         QString* error) {
    const QString text = SwfPreviewPageText(facts, colours) + QStringLiteral("\r\n");
    return WriteFileAtomically(SwfPreviewPagePath(facts.moviePath),
                               gallery::EncodeWindows1252(text), error);
}

} // namespace stillora::swf
