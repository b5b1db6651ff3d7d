// The main window's part of the settings file: the engine's settings and
// the window's place, read at start and written at close.
#include "main_form.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>

#include "../host/engine_host.h"
#include "../serial/reconnect.h"
#include "language.h"
#include "qt_view.h"
#include "ui_main_form.h"

namespace kd36 {

WindowPlacement TMainForm::placement() const
{
    WindowPlacement wp;
    wp.top = pos().y();
    wp.left = pos().x();
    wp.outerWidth = frameGeometry().width();
    wp.outerHeight = frameGeometry().height();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        wp.screenWidth = screen->availableGeometry().width();
        wp.screenHeight = screen->availableGeometry().height();
    }
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect r = screen->availableGeometry();
        wp.screens.push_back({r.x(), r.y(), r.width(), r.height()});
    }
    return wp;
}

void TMainForm::loadSettings(StoredSettings& s, SettingPanel& panel)
{
    s.autoReconnect = FAutoReconnect;
    WindowPlacement wp = placement();
    std::string problem;
    LoadSettings(FSettingsPath, s, panel, wp, &problem, languageInUse() == Language::English);
    if (!problem.empty()) {
        // Said once, when the window is up; the file is then left alone.
        FSettingsKept = true;
        const std::string detail = FSettingsPath + "\n" + problem;
        QTimer::singleShot(0, this, [this, detail] {
            if (!FClosed)
                FBoxes->warning(tr("設定ファイルを読み取れないため、このファイルは変更しません。").toStdString(), detail);
        });
    }
    FAutoReconnect = s.autoReconnect;
    FLanguage = s.language;
    if (FReconnector)
        FReconnector->setEnabled(FAutoReconnect);
    move(wp.left, wp.top);
}

void TMainForm::checkLanguage(Language language)
{
    ui->mnuLanguageJa->setChecked(language == Language::Japanese);
    ui->mnuLanguageEn->setChecked(language == Language::English);
}

void TMainForm::chooseLanguage(Language language)
{
    FLanguage = languageKey(language);
    checkLanguage(language);
    // Said in the chosen language: the window stays in the one it started in.
    FBoxes->information(translated(
        language, "kd36::TMainForm", QT_TRANSLATE_NOOP("kd36::TMainForm", "表示言語は次回の起動から変わります。")));
}

void TMainForm::saveSettings()
{
    if (FSettingsPath.empty())
        return;
    StoredSettings s = FHost->storedSettings();
    s.autoReconnect = FAutoReconnect;
    s.language = FLanguage;
    const WindowPlacement wp = placement();
    std::string error;
    if (SaveSettings(FSettingsPath, s, FEngine->panel(), wp, &error))
        return;
    if (FSignalClose) {
        std::fprintf(stderr, "kd36setup: the settings were not saved to %s: %s\n", FSettingsPath.c_str(),
                     error.c_str());
        return;
    }
    if (FSettingsKept)
        return; // the box at start said so
    FBoxes->warning(tr("設定ファイルを保存できませんでした。").toStdString(), FSettingsPath + "\n" + error);
}

} // namespace kd36
