#pragma once
// The spectrum display library loaded with QLibrary: by its bare name from
// the executable's folder first, then wherever the system looks.
#include <QString>
#include <QStringList>

#include "../engine/display_library.h"

namespace kd36 {

class QtDisplayLibraryLoader final : public DisplayLibraryLoader {
public:
    // `folders` are tried in order before the system's own search.
    explicit QtDisplayLibraryLoader(QStringList folders, QString baseName = QStringLiteral("analyze32"));
    std::unique_ptr<DisplayLibrary> load(std::string* error) override;

private:
    QStringList folders_;
    QString baseName_;
};

} // namespace kd36
