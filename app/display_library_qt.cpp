#include "display_library_qt.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace kd36 {

namespace {

class QtDisplayLibrary final : public DisplayLibrary {
public:
    explicit QtDisplayLibrary(std::unique_ptr<QLibrary> lib) : lib_(std::move(lib)) {}
    ~QtDisplayLibrary() override
    {
        if (lib_->isLoaded())
            lib_->unload();
    }
    void* resolve(const char* symbol) override { return reinterpret_cast<void*>(lib_->resolve(symbol)); }
    bool unload(std::string* error) override
    {
        if (lib_->unload())
            return true;
        if (error)
            *error = lib_->errorString().toStdString();
        return false;
    }

private:
    std::unique_ptr<QLibrary> lib_;
};

} // namespace

QStringList QtDisplayLibraryLoader::defaultFolders()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    QStringList folders{exeDir};
    QStringList installed;
#ifdef KD36_PLUGIN_DIR_FROM_BIN
    installed << QDir::cleanPath(QDir(exeDir).filePath(QStringLiteral(KD36_PLUGIN_DIR_FROM_BIN)));
#endif
#ifdef KD36_PLUGIN_DIR
    installed << QStringLiteral(KD36_PLUGIN_DIR);
#endif
    // Missing folders would only clutter the reasons given on failure.
    for (const QString& f : installed)
        if (QDir(f).exists())
            folders << f;
    folders.removeDuplicates();
    return folders;
}

QtDisplayLibraryLoader::QtDisplayLibraryLoader(QStringList folders, QString baseName)
    : folders_(std::move(folders)), baseName_(std::move(baseName))
{
}

std::unique_ptr<DisplayLibrary> QtDisplayLibraryLoader::load(std::string* error)
{
    QStringList candidates;
    for (const QString& f : folders_)
        candidates << QDir(f).filePath(baseName_);
    candidates << baseName_;
    QString reasons;
    for (const QString& name : candidates) {
        auto lib = std::make_unique<QLibrary>(name);
        if (lib->load())
            return std::make_unique<QtDisplayLibrary>(std::move(lib));
        if (!reasons.isEmpty())
            reasons += QLatin1Char('\n');
        reasons += lib->errorString();
    }
    if (error)
        *error = reasons.toStdString();
    return nullptr;
}

} // namespace kd36
