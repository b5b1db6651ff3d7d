#include <QApplication>
#include <QFile>
#include <QIcon>

#include "main_form.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kd36setup"));
    QApplication::setApplicationDisplayName(QStringLiteral("QW57 セットアップ プログラム"));
    if (QFile::exists(QStringLiteral(":/icon.png")))
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    kd36::TMainForm form;
    form.show();
    return app.exec();
}
