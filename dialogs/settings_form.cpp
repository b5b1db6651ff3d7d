#include "settings_form.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include "../engine/conversions.h"
#include "../engine/sjis.h"
#include "ui_settings_form.h"

namespace kd36 {

namespace {

// The compact sizes were given as outer sizes of a framed window; the client
// area is that less a 3-pixel border on each side and a 19-pixel caption.
constexpr int kFrameWidth = 6, kFrameHeight = 25;

struct CompactGeometry {
    int outerWidth, outerHeight, groupHeight, okLeft, ngLeft, buttonTop, buttonWidth, buttonHeight;
};
constexpr CompactGeometry kNormalFont{224, 145, 73, 8, 112, 88, 96, 26};
constexpr CompactGeometry kLargeFont{277, 184, 87, 8, 144, 112, 120, 28};

// Value of a list item that holds a plain number ("9600", "8").
std::optional<long long> itemValue(const QComboBox* c, int index)
{
    if (index < 0)
        return std::nullopt;
    bool ok = false;
    long long v = c->itemText(index).toLongLong(&ok);
    return ok ? std::optional<long long>(v) : std::nullopt;
}

} // namespace

TSettingsForm::TSettingsForm(QWidget* parent, int& portNumber, PortSettings& settings,
                             const std::vector<std::string>& portList, int extension, MessageBoxes& boxes,
                             std::function<std::string(int)> describePort)
    : QDialog(parent),
      ui(std::make_unique<Ui::TSettingsForm>()),
      FPortNumber(portNumber),
      FSettings(settings),
      FBoxes(boxes),
      FDescribePort(std::move(describePort)),
      FItems(portList)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(kFullWidth, kFullHeight);

    // read-only field in the colour of a button face
    QPalette pal = ui->edtDataBits->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    ui->edtDataBits->setPalette(pal);
    ui->edtDataBits->setFocusPolicy(Qt::NoFocus);

    // Screen readers that do not follow the label relation still get a name.
    for (QLabel* l : findChildren<QLabel*>())
        if (l->buddy())
            l->buddy()->setAccessibleName(l->text());

    ui->bbtnOk->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ui->bbtnNg->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(ui->bbtnOk, &QPushButton::clicked, this, &TSettingsForm::bbtnOkClick);
    connect(ui->bbtnNg, &QPushButton::clicked, this, &QDialog::reject);

    // The two carriers stay hidden for the whole life of the dialog.
    ui->cmbDataBits->hide();
    ui->rdbFlowXonXoff->hide();

    fill(portList, extension);
    connect(ui->cmbComCh, &QComboBox::currentIndexChanged, this, &TSettingsForm::updatePortHint);
    updatePortHint();
}

TSettingsForm::~TSettingsForm() = default;

std::optional<int> TSettingsForm::itemNumber(const std::string& item)
{
    auto n = strToInt(item.size() > 4 ? std::string_view(item).substr(4) : std::string_view());
    return n ? std::optional<int>(int(*n)) : std::nullopt;
}

void TSettingsForm::fill(const std::vector<std::string>& portList, int extension)
{
    fillPort(portList);
    fillLine();
    if (extension == 0)
        applyCompactLayout(QFontMetrics(font()).height());
}

// The port: item 0 unless an item carries the port's number.
void TSettingsForm::fillPort(const std::vector<std::string>& portList)
{
    for (size_t i = 0; i < portList.size(); ++i)
        ui->cmbComCh->addItem(QString::fromStdString(sjisToUtf8(portList[i])));
    ui->cmbComCh->setCurrentIndex(portList.empty() ? -1 : 0);
    for (size_t i = 0; i < portList.size(); ++i) {
        const std::string& item = portList[i];
        int n = strToIntOrThrow(item.size() > 4 ? std::string_view(item).substr(4) : std::string_view());
        if (n == FPortNumber) {
            ui->cmbComCh->setCurrentIndex(int(i));
            break;
        }
    }
    for (size_t i = 0; i < portList.size(); ++i)
        if (auto n = itemNumber(portList[i]); n && FDescribePort)
            ui->cmbComCh->setItemData(int(i), portDescription(*n), Qt::ToolTipRole);
}

// The line settings as the lists and buttons show them.
void TSettingsForm::fillLine()
{
    // The rate: no selection when it is not one of the list's.
    ui->cmbBaudrate->setCurrentIndex(-1);
    for (int i = 0; i < ui->cmbBaudrate->count(); ++i)
        if (itemValue(ui->cmbBaudrate, i) == static_cast<long long>(FSettings.BaudRate)) {
            ui->cmbBaudrate->setCurrentIndex(i);
            break;
        }

    // Data bits, carried through unseen.
    ui->cmbDataBits->setCurrentIndex(-1);
    for (int i = 0; i < ui->cmbDataBits->count(); ++i)
        if (itemValue(ui->cmbDataBits, i) == static_cast<long long>(FSettings.ByteSize)) {
            ui->cmbDataBits->setCurrentIndex(i);
            break;
        }

    ui->cmbStopBits->setCurrentIndex(FSettings.StopBits == 2 ? 1 : 0);

    // Parity: mark (3) has no item and leaves the list blank.
    switch (FSettings.Parity) {
    case 1:
        ui->cmbParity->setCurrentIndex(1);
        break;
    case 2:
        ui->cmbParity->setCurrentIndex(2);
        break;
    case 3:
        ui->cmbParity->setCurrentIndex(-1);
        break;
    default:
        ui->cmbParity->setCurrentIndex(0);
        break;
    }

    // Flow control: Xon/Xoff rides on the hidden button and leaves the
    // visible group in its initial state.
    switch (FSettings.FlowCtrl) {
    case 1:
        ui->rdbFlowXonXoff->setChecked(true);
        break;
    case 2:
        ui->rdbFlowRtsCts->setChecked(true);
        break;
    default:
        ui->rdbFlowNon->setChecked(true);
        break;
    }
}

void TSettingsForm::applyCompactLayout(int fontHeight)
{
    const CompactGeometry& g = fontHeight == 12 ? kNormalFont : kLargeFont;
    const int w = g.outerWidth - kFrameWidth;
    const int h = g.outerHeight - kFrameHeight;
    setFixedSize(w, h);
    QRect box = ui->GroupBox->geometry();
    ui->GroupBox->setGeometry(box.x(), box.y(), w - 2 * box.x(), g.groupHeight);
    ui->bbtnOk->setGeometry(g.okLeft, g.buttonTop, g.buttonWidth, g.buttonHeight);
    ui->bbtnNg->setGeometry(g.ngLeft, g.buttonTop, g.buttonWidth, g.buttonHeight);

    ui->Label3->hide();
    ui->edtDataBits->hide();
    ui->GroupBox1->hide();
    ui->cmbParity->setFocusPolicy(Qt::NoFocus);
    ui->cmbStopBits->setFocusPolicy(Qt::NoFocus);
    // The lower rows lie below the shortened group; hidden too, so that no
    // style or accessibility tool can still reach them.
    ui->Label5->hide();
    ui->cmbParity->hide();
    ui->Label4->hide();
    ui->cmbStopBits->hide();
}

// The catalog's words for a port: the tool's own are translated, a
// device's own description is data and stays as given.
QString TSettingsForm::portDescription(int n) const
{
    return QCoreApplication::translate("TSettingsForm", FDescribePort(n).c_str());
}

void TSettingsForm::updatePortHint()
{
    QString hint = tr("* が付いているポートは使用できません。");
    int i = ui->cmbComCh->currentIndex();
    if (i >= 0 && size_t(i) < FItems.size() && FDescribePort) {
        if (auto n = itemNumber(FItems[size_t(i)])) {
            QString line = QStringLiteral("COM%1: %2").arg(*n).arg(portDescription(*n));
            hint += QLatin1Char('\n') + line;
            ui->cmbComCh->setAccessibleDescription(line);
        }
    }
    ui->cmbComCh->setToolTip(hint);
}

void TSettingsForm::bbtnOkClick()
{
    // Check first, so that a bad item leaves every value as it was.
    std::optional<int> port;
    int pi = ui->cmbComCh->currentIndex();
    if (pi >= 0 && size_t(pi) < FItems.size()) {
        const std::string& item = FItems[size_t(pi)];
        port = itemNumber(item);
        if (!port) {
            try {
                strToIntOrThrow(item.size() > 4 ? std::string_view(item).substr(4) : std::string_view());
            } catch (const ConversionError& e) {
                FBoxes.warning(e.what());
            }
            return;
        }
    }

    // 1. port, marked unavailable or not
    if (port)
        FPortNumber = *port;
    // 2. rate
    if (auto v = itemValue(ui->cmbBaudrate, ui->cmbBaudrate->currentIndex()))
        FSettings.BaudRate = uint32_t(*v);
    // 3. data bits
    if (auto v = itemValue(ui->cmbDataBits, ui->cmbDataBits->currentIndex()))
        FSettings.ByteSize = uint8_t(*v);
    // 4. stop bits: one and a half is not offered and becomes one
    FSettings.StopBits = ui->cmbStopBits->currentText() == QLatin1String("2") ? 2 : 0;
    // 5. parity
    const QString parity = ui->cmbParity->currentIndex() >= 0 ? ui->cmbParity->currentText() : QString();
    FSettings.Parity = parity == QLatin1String("Odd") ? 1 : parity == QLatin1String("Even") ? 2 : 0;
    // 6. flow control: a stored Xon/Xoff outlives the visible choice
    FSettings.FlowCtrl = ui->rdbFlowXonXoff->isChecked() ? 1 : ui->rdbFlowRtsCts->isChecked() ? 2 : 0;

    accept();
}

} // namespace kd36
