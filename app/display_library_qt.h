#pragma once
// The spectrum display library loaded with QLibrary: by its bare name from
// the executable's folder first, then the private folder of an installed
// copy, then wherever the system looks.
#include <QString>
#include <QStringList>

#include "../engine/display_library.h"

namespace kd36 {

class QtDisplayLibraryLoader final : public DisplayLibraryLoader {
public:
    // `folders` are tried in order before the system's own search.
    explicit QtDisplayLibraryLoader(QStringList folders, QString baseName = QStringLiteral("analyze32"));
    std::unique_ptr<DisplayLibrary> load(std::string* error) override;

    // The executable's folder, then the installed plugin folder (relative to
    // the executable, then under the build's prefix) when it exists.
    static QStringList defaultFolders();

private:
    QStringList folders_;
    QString baseName_;
};

} // namespace kd36
