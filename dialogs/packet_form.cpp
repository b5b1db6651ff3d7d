#include "packet_form.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSignalBlocker>

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
    for (char c : std::string("0123456789ABCDEF"))
        digits << QString(QChar(c));
    QComboBox* lists[] = {ui->cmbRoute0, ui->cmbRoute1, ui->cmbRoute2, ui->cmbRoute3,
                          ui->cmbRoute4, ui->cmbRoute5, ui->cmbRoute6};
    for (int n = 0; n <= 6; ++n) {
        QComboBox* c = lists[n];
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

void TPacketForm::bind(PacketLogic& logic, Guard guard)
{
    attach(logic, std::move(guard));
    connect(ui->spbPacket, &QToolButton::clicked, this, [this] { run([](PacketLogic& l) { l.spbPacketClick(); }); });
    connect(ui->chkRoute, &QCheckBox::clicked, this, [this] { run([](PacketLogic& l) { l.chkRouteClick(); }); });
    QComboBox* relays[] = {ui->cmbRoute1, ui->cmbRoute2, ui->cmbRoute3, ui->cmbRoute4};
    for (int k = 1; k <= 4; ++k) // cmbRoute5 has no change handler
        connect(relays[k - 1], &QComboBox::activated, this,
                [this, k] { run([k](PacketLogic& l) { l.cmbRouteChange(k); }); });
    connect(ui->spbClear, &QToolButton::clicked, this,
            [this] { run([](PacketLogic& l) { l.spbClearClick("spbClear"); }); });
    connect(ui->spbClearRx, &QToolButton::clicked, this,
            [this] { run([](PacketLogic& l) { l.spbClearClick("spbClearRx"); }); });
    connect(ui->memUserData, &QPlainTextEdit::textChanged, this, [this] {
        limitUserData();
        run([](PacketLogic& l) { l.memUserDataChange(); });
    });
    connect(ui->memUserDataRx, &QPlainTextEdit::textChanged, this,
            [this] { run([](PacketLogic& l) { l.memUserDataChange(); }); });
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

