#include "pluginhost/PluginLoader.h"

#include <QDir>

#include <dlfcn.h>

namespace stillora {

namespace {
template <typename Proc> Proc bind(void* handle, const char* name) {
    return reinterpret_cast<Proc>(dlsym(handle, name));
}
} // namespace

void LoadPlugins(const std::string& folder, PluginTable& table) {
    table.clear();
    QDir dir(QString::fromStdString(folder));
    if (!dir.exists()) return;
    // Name order, so the list reads the same on every file system.
    const QStringList files = dir.entryList({"*.so"}, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    for (const QString& file : files) {
        const QByteArray path = QFile::encodeName(dir.filePath(file));
        void* handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) continue;
        TPluginRecord record;
        record.Handle = handle;
        record.PluginNameGet = bind<TPluginNameGetProc>(handle, "PluginNameGet");
        record.Version = bind<TVersionProc>(handle, "Version");
        record.SetParam = bind<TSetParamProc>(handle, "SetParam");
        record.GetParam = bind<TGetParamProc>(handle, "GetParam");
        record.ParamExists = bind<TParamExistsProc>(handle, "ParamExists");
        record.GetParamCount = bind<TGetParamCountProc>(handle, "GetParamCount");
        record.RunProc = bind<TRunProcProc>(handle, "RunProc");
        record.RunProcBMP = bind<TRunProcBMPProc>(handle, "RunProcBMP");
        try {
            if (record.Version) record.Version();
            if (!record.PluginNameGet) continue; // not one of ours; it stays loaded but unlisted
            record.name();
        } catch (const std::exception& e) {
            throw PluginLoadError(e.what());
        }
        table.push_back(std::move(record));
    }
}

} // namespace stillora
