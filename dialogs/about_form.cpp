#include "about_form.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QUrl>

#include "fit_text.h"
#include "plain_text.h"
#include "ui_about_form.h"

namespace {

const QString kVersion = QStringLiteral("Version 2.2");
const QString kVersionEx = QStringLiteral("Version 2.2 Ex");

QFont pixelFont(const QFont& base, int px, bool bold)
{
    QFont f(base);
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

} // namespace

const QString& TAboutForm::versionText(int extension)
{
    return extension != 0 ? kVersionEx : kVersion;
}

TAboutForm::TAboutForm(QWidget* parent, const QString& homeUrl, int& extension, kd36::MessageBoxes& boxes)
    : QDialog(parent), ui(std::make_unique<Ui::TAboutForm>()), FExtension(extension), FBoxes(boxes)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(425, 198);
    setFont(pixelFont(font(), 12, true));
    ui->lblType->setFont(pixelFont(font(), 24, true));
    ui->lblExplain->setFont(pixelFont(font(), 19, true));
    ui->lblVersion->setFont(pixelFont(font(), 13, true));
    QFont urlFont = pixelFont(font(), 12, true);
    urlFont.setUnderline(true);
    ui->lblUrl->setFont(urlFont);
    QPalette urlPalette = ui->lblUrl->palette();
    urlPalette.setColor(QPalette::WindowText, Qt::blue);
    ui->lblUrl->setPalette(urlPalette);
    QPalette panel = ui->pnlPicture->palette();
    panel.setColor(QPalette::Window, QColor(0x00, 0x80, 0x80));
    ui->pnlPicture->setPalette(panel);
    // The rule is the group box's frame only.
    ui->GroupBox1->setFlat(false);
    ui->GroupBox1->setStyleSheet(QStringLiteral(
        "QGroupBox#GroupBox1 { border: none; border-top: 1px solid palette(mid);"
        " border-bottom: 1px solid palette(light); margin: 0; }"));

    // One guarded block: a picture that cannot be loaded beeps once and
    // leaves what follows at its design value; the dialog still opens.
    [&] {
        ui->lblType->setText(QStringLiteral("KD-36"));
        ui->lblExplain->setText(QStringLiteral("Radio Modem Setup Program"));
        QPixmap work;
        if (!work.load(QStringLiteral(":/NORVANE_LOGO")))
            return FBoxes.beep();
        ui->imgLogo->setPixmap(work);
        if (!work.load(QStringLiteral(":/KD36_PHOTO")))
            return FBoxes.beep();
        ui->imgPhoto->setPixmap(work);
        ui->lblVersion->setText(versionText(FExtension));
    }();

    // The window's size is fixed; a wide font makes the line smaller instead.
    for (QLabel* label : {ui->lblType, ui->lblExplain, ui->lblVersion, ui->Label4})
        kd36::fitToWidth(label);

    // The address comes from the settings file: shown as it stands.
    kd36::setPlainLabelText(ui->lblUrl, homeUrl);
    ui->lblUrl->setVisible(!homeUrl.isEmpty());

    ui->lblType->installEventFilter(this);
    ui->lblUrl->installEventFilter(this);
    ui->BitBtn1->setFocus();
}

TAboutForm::~TAboutForm() = default;

bool TAboutForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->lblType) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* e = static_cast<QMouseEvent*>(event);
            lblTypeMouseDown(e->modifiers(), static_cast<qint64>(e->timestamp()));
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() != Qt::LeftButton)
                return false;
            if (static_cast<qint64>(e->timestamp()) == FLastPressTime) {
                // This double click's own press came first: judge by the one before.
                const bool second = FShiftHeld;
                FShiftHeld = FShiftHeldBefore;
                lblTypeDblClick();
                FShiftHeld = second;
            } else {
                lblTypeDblClick();
            }
            return true;
        }
    } else if (watched == ui->lblUrl && event->type() == QEvent::MouseButtonRelease) {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::LeftButton && ui->lblUrl->rect().contains(e->position().toPoint())) {
            lblUrlClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutForm::keyPressEvent(QKeyEvent* e)
{
    // Escape does not close this dialog; OK, Enter and the close box do.
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void TAboutForm::lblTypeMouseDown(Qt::KeyboardModifiers modifiers, qint64 timestamp)
{
    FShiftHeldBefore = FShiftHeld;
    FShiftHeld = modifiers.testFlag(Qt::ShiftModifier);
    FLastPressTime = timestamp;
}

void TAboutForm::lblTypeDblClick()
{
    if (!FShiftHeld)
        return;
    FExtension = FExtension == 0 ? 1 : 0;
    emit extensionChanged(FExtension);
    FBoxes.information((FExtension != 0 ? tr("拡張通信機能を使用できます。") : tr("拡張通信機能を使用できません。")).toStdString());
    ui->lblVersion->setText(versionText(FExtension));
}

void TAboutForm::lblUrlClick()
{
    // Whether a browser opened is not reported; the dialog closes anyway.
    QDesktopServices::openUrl(QUrl::fromUserInput(ui->lblUrl->text()));
    close();
}
