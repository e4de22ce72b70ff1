#include "app/batch/BatchSetup.h"

#include "render/Naming.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace stillora::batch {

namespace {

QColor colourOf(int value) {
    // Stored with red in the low byte, as the window stores it.
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

QString nameOf(const TPluginRecord& record) {
    return QString::fromLocal8Bit(record.name().c_str());
}

enum class ParamKind { Switch, Ranged, Plain };

ParamKind kindOf(const TPluginParam& p) {
    if (p.ControlKind == STILLORA_CONTROL_CHECKBOX || p.ValueKind == STILLORA_VALUE_BOOLEAN)
        return ParamKind::Switch;
    if (p.ControlKind == STILLORA_CONTROL_TRACKBAR || p.ControlKind == STILLORA_CONTROL_KNOB)
        return ParamKind::Ranged;
    return ParamKind::Plain;
}

TPluginVariant makeVariant(ParamKind kind, int32_t value) {
    // Integers go in as I4, switches as BOOL (-1 or 0), as the settings
    // dialog writes them.
    TPluginVariant v;
    std::memset(&v, 0, sizeof v);
    if (kind == ParamKind::Switch) {
        v.vt = STILLORA_VT_BOOL;
        v.u.boolVal = value ? -1 : 0;
    } else {
        v.vt = STILLORA_VT_I4;
        v.u.lVal = value;
    }
    return v;
}

bool readSwitch(const QString& text, int32_t& value) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("1") || t == QLatin1String("on") || t == QLatin1String("true") ||
        t == QLatin1String("yes")) {
        value = 1;
        return true;
    }
    if (t == QLatin1String("0") || t == QLatin1String("off") || t == QLatin1String("false") ||
        t == QLatin1String("no")) {
        value = 0;
        return true;
    }
    return false;
}

QStringList chainItems(const QString& caption) {
    QStringList items = caption.split(QLatin1Char(','));
    // Text after the last separator counts only when it is not empty.
    if (!items.isEmpty() && items.last().isEmpty()) items.removeLast();
    return items;
}

} // namespace

RenderSettings SettingsFromStore(const ResolvedSettings& stored) {
    RenderSettings s;
    s.exportKind = NumberedFrames;
    s.stillType =
        stored.integer(QStringLiteral("rgExportType.ItemIndex")) == StillBmp ? StillBmp : StillJpeg;
    s.addSelectionName = stored.integer(QStringLiteral("cbSelname.Checked")) != 0;
    s.useSeparator = stored.integer(QStringLiteral("cbSeparator.Checked")) != 0;
    s.separator = stored.text(QStringLiteral("edtSeparator.Text"));
    s.digits = stored.integer(QStringLiteral("spinDigits.Value"));
    s.skipFrames = stored.integer(QStringLiteral("cbSkipFrames.Checked")) != 0;
    s.skipEvery = stored.integer(QStringLiteral("spinSkipFrames.Value"));
    s.jpegQuality = stored.integer(QStringLiteral("tbJpegComp.Position"));
    s.exportFolder = stored.text(QStringLiteral("jvExportFolder.text"));
    GallerySettings& g = s.gallery;
    g.title = stored.text(QStringLiteral("edtPageTitle.text"));
    g.tableWidth = stored.text(QStringLiteral("meTableWidth.Text"));
    g.columns = qBound(1, stored.integer(QStringLiteral("spinCols.Value")), 25);
    g.rows = qBound(1, stored.integer(QStringLiteral("spinRows.Value")), 25);
    g.thumbSize = qBound(1, stored.integer(QStringLiteral("spinThumbSize.Value")), 100);
    g.backColor = colourOf(stored.integer(QStringLiteral("cbBackColor.Color")));
    g.textColor = colourOf(stored.integer(QStringLiteral("cbTextColor.Color")));
    g.linkColor = colourOf(stored.integer(QStringLiteral("cbLinkColor.Color")));
    g.visitedColor = colourOf(stored.integer(QStringLiteral("cbVisitedColor.Color")));
    g.edge = stored.integer(QStringLiteral("cbEdge.Checked")) != 0;
    g.cellSpacing = qBound(0, stored.integer(QStringLiteral("spinCellSpacing.Value")), 9);
    g.cellPadding = qBound(0, stored.integer(QStringLiteral("spinCellPadding.Value")), 9);
    s.framesPerSlide = qBound(1, stored.integer(QStringLiteral("spinFramesPerSlide.Value")), 9999);
    s.framesPerFade = qBound(1, stored.integer(QStringLiteral("spinFramesPerFade.Value")), 9999);
    s.swfFrameRate = qBound(1, stored.integer(QStringLiteral("spinFrameRate.Value")), 30);
    s.crossfade = stored.integer(QStringLiteral("cbCrossfade.Checked")) != 0;
    s.aviFrameRate = stored.integer(QStringLiteral("spinAVIFrameRate.Value"));
    s.avi.handler = stored.text(QStringLiteral("AviCompressor.Handler"));
    s.avi.quality = uint32_t(stored.integer(QStringLiteral("AviCompressor.Quality")));
    s.avi.keyFrameEvery = uint32_t(stored.integer(QStringLiteral("AviCompressor.KeyFrameEvery")));
    s.avi.bytesPerSecond = uint32_t(stored.integer(QStringLiteral("AviCompressor.BytesPerSecond")));
    s.avi.flags = uint32_t(stored.integer(QStringLiteral("AviCompressor.Flags")));
    s.gif.frameDurationMs = stored.integer(QStringLiteral("spinGIFFrameDuration.Value"));
    s.gif.loop = stored.integer(QStringLiteral("chkGIFLoop.Checked")) != 0;
    s.video.format = stored.integer(QStringLiteral("rgVideoFormat.ItemIndex")) == VideoWebm
                         ? VideoWebm
                         : VideoMp4;
    s.video.frameRate = qBound(1, stored.integer(QStringLiteral("spinVideoFrameRate.Value")), 60);
    s.video.hold = qBound(1, stored.integer(QStringLiteral("spinVideoHold.Value")), 9999);
    s.video.quality = qBound(0, stored.integer(QStringLiteral("spinVideoQuality.Value")), 51);
    // No pauses: previews are not made here.
    s.previewDelayOn = false;

    SuperimposeSettings& o = s.overlay;
    o.drawText = stored.integer(QStringLiteral("cbSuperimpose.Checked")) != 0;
    o.text = stored.text(QStringLiteral("siText.Text"));
    o.fontName = stored.text(QStringLiteral("FontDialog.Font.Name"));
    o.fontSize = qMax(1, stored.integer(QStringLiteral("FontDialog.Font.Size")));
    o.bold = stored.integer(QStringLiteral("cbsiBold.Checked")) != 0;
    o.position = stored.integer(QStringLiteral("siPosition.ItemIndex"));
    o.color = colourOf(stored.integer(QStringLiteral("siColor.Color")));
    o.shadow = colourOf(stored.integer(QStringLiteral("siShadow.Color")));
    o.drawTime = stored.integer(QStringLiteral("cbTime.Checked")) != 0;
    o.drawDate = stored.integer(QStringLiteral("cbDate.Checked")) != 0;
    return s;
}

void ApplyOverrides(const BatchOptions& options, RenderSettings& s) {
    if (options.separator) {
        s.useSeparator = true;
        s.separator = *options.separator;
    }
    if (options.noSeparator) s.useSeparator = false;
    if (options.noSelectionName) s.addSelectionName = false;
    if (options.digits) s.digits = *options.digits;
    if (options.skip) {
        s.skipFrames = *options.skip > 0;
        if (*options.skip > 0) s.skipEvery = *options.skip;
    }
    if (options.stillType) s.stillType = *options.stillType;
    if (options.quality) s.jpegQuality = *options.quality;
    if (options.exportKind) s.exportKind = *options.exportKind;
    if (options.movieKind) s.movieKind = *options.movieKind;
    if (options.outFile) s.exportFileName = *options.outFile;
    if (options.galleryTitle) s.gallery.title = *options.galleryTitle;
    if (options.galleryColumns) s.gallery.columns = *options.galleryColumns;
    // Galleries are made from JPEG stills, as in the window.
    if (s.exportKind == WebGallery) s.stillType = StillJpeg;
    if (options.aviCodec) s.avi.handler = *options.aviCodec;
    if (options.aviRate) s.aviFrameRate = *options.aviRate;
    if (options.gifDelayMs) s.gif.frameDurationMs = *options.gifDelayMs;
    if (options.gifLoop) s.gif.loop = true;
    // The word given names the container of a video export.
    if (options.exportName == QLatin1String("mp4")) s.video.format = VideoMp4;
    if (options.exportName == QLatin1String("webm")) s.video.format = VideoWebm;
    if (options.videoRate) s.video.frameRate = *options.videoRate;
    if (options.videoHold) s.video.hold = *options.videoHold;
    if (options.videoQuality) s.video.quality = *options.videoQuality;
    if (options.swfFramesPerSlide) s.framesPerSlide = *options.swfFramesPerSlide;
    if (options.swfFade) s.framesPerFade = *options.swfFade;
    if (options.swfRate) s.swfFrameRate = *options.swfRate;
    if (options.noCrossfade) s.crossfade = false;
    s.swfPreviewPage = options.previewPage;
    // Slideshows are made from JPEG stills, as in the window.
    if (s.exportKind == MovieExport && s.movieKind == MovieSwf) s.stillType = StillJpeg;
}

QString RootNameFor(const BatchOptions& options, const QString& video) {
    if (options.rootName) return *options.rootName;
    // "clip.take2.mp4" gives "clip.take2"; ".hidden" stays whole.
    const QFileInfo info(video);
    const QString root = info.completeBaseName();
    return root.isEmpty() ? info.fileName() : root;
}

QString OutputFolder(const BatchOptions& options, const RenderSettings& settings,
                     const QString& workingDir) {
    QString folder = options.outDir ? *options.outDir : settings.exportFolder;
    if (folder.isEmpty()) folder = QStringLiteral("export");
    return ExportFolderPrefix(QDir::cleanPath(QDir(workingDir).absoluteFilePath(folder)));
}

int FindPlugin(const PluginTable& table, const QString& name) {
    const int exact = FindPluginByName(table, name.toLocal8Bit().toStdString());
    if (exact >= 0) return exact;
    int found = -1;
    for (size_t i = 0; i < table.size(); ++i) {
        if (nameOf(table[i]).compare(name, Qt::CaseInsensitive) != 0) continue;
        if (found >= 0) return -1; // ambiguous
        found = static_cast<int>(i);
    }
    return found;
}

QString PluginNames(const PluginTable& table) {
    QStringList names;
    for (const TPluginRecord& record : table)
        names << nameOf(record);
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

QString DescribePlugins(const PluginTable& table) {
    QString out;
    for (const TPluginRecord& record : table) {
        out += nameOf(record) + QLatin1Char('\n');
        const int count = record.GetParamCount ? record.GetParamCount() : 0;
        for (int i = 0; i < count; ++i) {
            const TPluginParam* p = record.GetParam ? record.GetParam(i) : nullptr;
            if (!p) continue;
            const QString name = QString::fromLocal8Bit(p->Name ? p->Name : "");
            QString kind, range, value;
            switch (kindOf(*p)) {
            case ParamKind::Switch:
                kind = QStringLiteral("switch");
                range = QStringLiteral("on/off");
                value = VariantInt(p->Value) ? QStringLiteral("on") : QStringLiteral("off");
                break;
            case ParamKind::Ranged:
                kind = QStringLiteral("integer");
                range = QStringLiteral("%1..%2")
                            .arg(VariantInt(p->MinValue))
                            .arg(VariantInt(p->MaxValue));
                value = QString::number(VariantInt(p->Value));
                break;
            case ParamKind::Plain:
                kind = QStringLiteral("integer");
                range = QStringLiteral("any");
                value = QString::number(VariantInt(p->Value));
                break;
            }
            out += QStringLiteral("  %1 %2 %3 default %4\n")
                       .arg(name, -16)
                       .arg(kind, -8)
                       .arg(range, -10)
                       .arg(value);
        }
    }
    if (table.empty()) out = QStringLiteral("(no plug-ins loaded)\n");
    return out;
}

bool ApplyParameter(const PluginTable& table, const QString& spec, QString* error) {
    const int colon = spec.indexOf(QLatin1Char(':'));
    const int eq = spec.indexOf(QLatin1Char('='), colon + 1);
    if (colon <= 0 || eq < 0 || eq == colon + 1) {
        *error = QStringLiteral("--param needs PLUGIN:NAME=VALUE, not \"%1\"").arg(spec);
        return false;
    }
    const QString pluginName = spec.left(colon).trimmed();
    const QString paramName = spec.mid(colon + 1, eq - colon - 1).trimmed();
    const QString text = spec.mid(eq + 1).trimmed();
    const int index = FindPlugin(table, pluginName);
    if (index < 0) {
        *error = QStringLiteral("--param: plug-in \"%1\" is not loaded (loaded: %2)")
                     .arg(pluginName, PluginNames(table));
        return false;
    }
    const TPluginRecord& record = table[static_cast<size_t>(index)];
    const int count = record.GetParamCount ? record.GetParamCount() : 0;
    int found = -1;
    QStringList names;
    for (int i = 0; i < count; ++i) {
        const TPluginParam* p = record.GetParam ? record.GetParam(i) : nullptr;
        if (!p || !p->Name) continue;
        const QString name = QString::fromLocal8Bit(p->Name);
        names << name;
        if (found < 0 && name.compare(paramName, Qt::CaseInsensitive) == 0) found = i;
    }
    if (found < 0) {
        *error = QStringLiteral("--param: plug-in \"%1\" has no parameter \"%2\" (it has: %3)")
                     .arg(nameOf(record), paramName,
                          names.isEmpty() ? QStringLiteral("none") : names.join(", "));
        return false;
    }
    TPluginParam* p = record.GetParam(found);
    const ParamKind kind = kindOf(*p);
    const QString label = nameOf(record) + QLatin1Char(':') + QString::fromLocal8Bit(p->Name);
    int32_t value = 0;
    if (kind == ParamKind::Switch) {
        if (!readSwitch(text, value)) {
            *error = QStringLiteral("--param %1 takes on or off, not \"%2\"").arg(label, text);
            return false;
        }
    } else {
        bool ok = false;
        const qlonglong number = text.toLongLong(&ok);
        const qlonglong lo = kind == ParamKind::Ranged ? VariantInt(p->MinValue) : INT32_MIN;
        const qlonglong hi = kind == ParamKind::Ranged ? VariantInt(p->MaxValue) : INT32_MAX;
        if (!ok || number < lo || number > hi) {
            *error = QStringLiteral("--param %1 takes a whole number from %2 to %3, not \"%4\"")
                         .arg(label)
                         .arg(lo)
                         .arg(hi)
                         .arg(text);
            return false;
        }
        value = static_cast<int32_t>(number);
    }
    const TPluginVariant variant = makeVariant(kind, value);
    if (record.SetParam)
        record.SetParam(found, &variant);
    else
        p->Value = variant;
    return true;
}

bool BuildChain(const PluginTable& table, const QString& text, std::vector<TPluginRecord>& chain,
                QString* error) {
    std::vector<TPluginRecord> result;
    for (const QString& item : text.split(QLatin1Char(','))) {
        const QString name = item.trimmed();
        if (name.isEmpty()) continue;
        const int index = FindPlugin(table, name);
        if (index < 0) {
            *error = QStringLiteral("--fx: plug-in \"%1\" is not loaded (loaded: %2)")
                         .arg(name, PluginNames(table));
            return false;
        }
        result.push_back(table[static_cast<size_t>(index)]);
    }
    chain = std::move(result);
    return true;
}

QStringList MissingChainNames(const PluginTable& table, const QString& caption) {
    QStringList missing;
    if (caption == QLatin1String("(None)")) return missing;
    // The same lookup the chain rebinding does: exact names.
    for (const QString& item : chainItems(caption))
        if (FindPluginByName(table, item.toLocal8Bit().toStdString()) < 0) missing << item;
    return missing;
}

} // namespace stillora::batch
