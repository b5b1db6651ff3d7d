#include "packet_form.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSignalBlocker>

#include "engine/conversions.h"
#include "engine/sjis.h"
#include "ui_packet_form.h"

using kd36::PacketLogic;

namespace kd36 {

std::string packetMemoToSjis(const QString& memoText)
{
    QString s = memoText;
    s.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return utf8ToSjis(s.toStdString());
}

QString packetMemoFromSjis(const std::string& sjis)
{
    QString s = QString::fromStdString(sjisToUtf8(sjis));
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

} // namespace kd36

TPacketForm::TPacketForm(QWidget* parent)
    : ModelessForm(parent),
      ui(std::make_unique<Ui::TPacketForm>())
{
    ui->setupUi(this);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(544, 485);

    QStringList digits;
    for (char c : std::string_view(kd36::kHexDigits))
        digits << QString(QChar(c));
    const Row<QComboBox> lists = routeLists();
    for (int n = 0; n <= 6; ++n) {
        QComboBox* c = lists[size_t(n)];
        if (n >= 1 && n <= 5) {
            c->addItem(QStringLiteral("-"));
            c->setProperty("tag", n);
        }
        c->addItems(digits);
        c->setCurrentIndex(-1);
    }
    // Key preview for the memo's Enter, and the press/double-click on the
    // send group's free area.
    ui->memUserData->installEventFilter(this);
    ui->grpTx->installEventFilter(this);
    ui->chkRoute->raise(); // sits on the route frame where its title would be
    // The close button leads the tab order; the rest follow as the layout lists them.
    QWidget* order[] = {ui->BitBtn1, ui->edtRoute0, ui->edtRoute1, ui->edtRoute2, ui->edtRoute3, ui->edtRoute4,
                        ui->edtRoute5, ui->edtRoute6, ui->memUserDataRx, ui->spbClearRx, ui->chkRoute,
                        ui->cmbRoute0, ui->cmbRoute1, ui->cmbRoute2, ui->cmbRoute3, ui->cmbRoute4,
                        ui->cmbRoute5, ui->cmbRoute6, ui->memUserData, ui->chkEnterKey, ui->spbClear,
                        ui->spbPacket};
    QWidget* prev = this;
    for (QWidget* w : order) {
        QWidget::setTabOrder(prev, w);
        prev = w;
    }
    ui->BitBtn1->setFocus();
}

TPacketForm::~TPacketForm() = default;

TPacketForm::Row<QComboBox> TPacketForm::routeLists() const
{
    return {ui->cmbRoute0, ui->cmbRoute1, ui->cmbRoute2, ui->cmbRoute3, ui->cmbRoute4, ui->cmbRoute5, ui->cmbRoute6};
}

void TPacketForm::bind(PacketLogic& logic, Guard guard)
{
    attach(logic, std::move(guard));
    connect(ui->spbPacket, &QToolButton::clicked, this, [this] { run([](PacketLogic& l) { l.spbPacketClick(); }); });
    connect(ui->chkRoute, &QCheckBox::clicked, this,
            [this](bool on) { run([on](PacketLogic& l) { l.chkRouteClick(on); }); });
    const Row<QComboBox> lists = routeLists();
    for (int k = 0; k < kd36::PacketShown::kFields; ++k)
        connect(lists[size_t(k)], &QComboBox::currentIndexChanged, this,
                [this, k](int i) { run([k, i](PacketLogic& l) { l.cmbRouteChange(k, i); }); });
    connect(ui->chkEnterKey, &QCheckBox::toggled, this,
            [this](bool on) { run([on](PacketLogic& l) { l.chkEnterKeyClick(on); }); });
    connect(ui->spbClear, &QToolButton::clicked, this,
            [this] { run([](PacketLogic& l) { l.spbClearClick(kd36::PacketMemo::Send); }); });
    connect(ui->spbClearRx, &QToolButton::clicked, this,
            [this] { run([](PacketLogic& l) { l.spbClearClick(kd36::PacketMemo::Received); }); });
    connect(ui->memUserData, &QPlainTextEdit::textChanged, this, [this] {
        limitUserData();
        const std::string data = kd36::packetMemoToSjis(ui->memUserData->toPlainText());
        run([&data](PacketLogic& l) { l.memUserDataChange(data); });
    });
    connect(ui->BitBtn1, &QPushButton::clicked, this, &QWidget::hide);
    run([](PacketLogic& l) { l.Construct(); });
}

void TPacketForm::limitUserData()
{
    // The memo holds at most 256 bytes of Shift-JIS, line breaks counting two;
    // an edit that goes beyond is undone as a whole.
    QPlainTextEdit* m = ui->memUserData;
    const QString now = m->toPlainText();
    if (kd36::packetMemoToSjis(now).size() <= kd36::kUserDataMax) {
        FLastUserData = now;
        return;
    }
    const int caret = m->textCursor().position() - int(now.size() - FLastUserData.size());
    {
        QSignalBlocker block(m);
        m->setPlainText(FLastUserData);
    }
    QTextCursor cur = m->textCursor();
    cur.setPosition(std::clamp(caret, 0, int(FLastUserData.size())));
    m->setTextCursor(cur);
    QApplication::beep();
}

void TPacketForm::showPacket(const kd36::PacketShown& s)
{
    auto check = [](QCheckBox* b, bool on) {
        if (b->isChecked() != on) {
            const QSignalBlocker block(b);
            b->setChecked(on);
        }
    };
    auto memo = [](QPlainTextEdit* m, const std::string& sjis) {
        const QString t = kd36::packetMemoFromSjis(sjis);
        if (m->toPlainText() != t) {
            const QSignalBlocker block(m);
            m->setPlainText(t);
        }
    };
    check(ui->chkRoute, s.route);
    check(ui->chkEnterKey, s.enterSends);
    if (ui->chkEnterKey->isHidden() == s.enterKeyBox)
        ui->chkEnterKey->setVisible(s.enterKeyBox);
    const Row<QComboBox> lists = routeLists();
    const Row<QLabel> labels{ui->lblRoute0, ui->lblRoute1, ui->lblRoute2, ui->lblRoute3, ui->lblRoute4,
                            ui->lblRoute5, ui->lblRoute6};
    const Row<QLabel> arrows{ui->lblArrow0, ui->lblArrow1, ui->lblArrow2, ui->lblArrow3, ui->lblArrow4,
                            ui->lblArrow5, ui->lblArrow6};
    const Row<QLineEdit> fields{ui->edtRoute0, ui->edtRoute1, ui->edtRoute2, ui->edtRoute3, ui->edtRoute4,
                            ui->edtRoute5, ui->edtRoute6};
    for (size_t n = 0; n < lists.size(); ++n) {
        if (lists[n]->currentIndex() != s.stations[n]) {
            const QSignalBlocker block(lists[n]);
            lists[n]->setCurrentIndex(s.stations[n]);
        }
        lists[n]->setEnabled(s.routeEnabled[n]);
        labels[n]->setEnabled(s.routeEnabled[n]);
        arrows[n]->setEnabled(s.arrows[n]);
        const QString f = QString::fromStdString(kd36::sjisToUtf8(s.receivedRoute[n]));
        if (fields[n]->text() != f)
            fields[n]->setText(f);
    }
    memo(ui->memUserData, s.userData);
    if (ui->memUserData->toPlainText() != FLastUserData)
        FLastUserData = ui->memUserData->toPlainText();
    memo(ui->memUserDataRx, s.received);
}

QString TPacketForm::counterText(size_t length)
{
    return tr("%1 文字 / 残 %2").arg(length).arg(long(kd36::kUserDataMax) - long(length));
}

QLabel* TPacketForm::counterLabel() const
{
    return ui->lblMemInfo;
}

bool TPacketForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->memUserData && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            bool taken = false;
            run([&](PacketLogic& l) { taken = l.memUserDataKeyPress(13); });
            if (taken)
                return true;
            // A plain line break, never Qt's soft one on Shift+Enter.
            ui->memUserData->insertPlainText(QStringLiteral("\n"));
            return true;
        }
    } else if (watched == ui->grpTx) {
        if (event->type() == QEvent::MouseButtonPress) {
            const bool shift = static_cast<QMouseEvent*>(event)->modifiers() & Qt::ShiftModifier;
            run([shift](PacketLogic& l) { l.grpTxMouseDown(shift); });
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            run([](PacketLogic& l) { l.grpTxDblClick(); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

