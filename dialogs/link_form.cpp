#include "link_form.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>

#include "ui_link_form.h"

using kd36::EndReason;
using kd36::LinkLogic;

TLinkForm::TLinkForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TLinkForm>())
{
    ui->setupUi(this);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(431, 356);
    setModal(false);

    auto* timWaitTime = new QTimer(this);
    timWaitTime->setObjectName(QStringLiteral("timWaitTime"));
    timWaitTime->setInterval(LinkLogic::kWaitMs);

    // Key preview: Enter is seen by the dialog whichever control has the focus.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    FView = std::make_unique<kd36::QtView>(this);
}

TLinkForm::~TLinkForm() = default;

void TLinkForm::bind(LinkLogic& logic, Guard guard)
{
    FLogic = &logic;
    FGuard = std::move(guard);
    connect(ui->btnGet, &QPushButton::clicked, this, [this] { run([](LinkLogic& l) { l.btnGetClick(); }); });
    connect(ui->btnAbort, &QPushButton::clicked, this,
            [this] { run([](LinkLogic& l) { l.btnAbortClick(EndReason::UserAbort); }); });
    connect(ui->btnAll, &QPushButton::clicked, this, [this] { run([](LinkLogic& l) { l.btnAllClick(); }); });
    connect(ui->spbMemClear, &QToolButton::clicked, this,
            [this] { run([](LinkLogic& l) { l.spbMemClearClick(); }); });
    connect(ui->btnClose, &QPushButton::clicked, this, &QWidget::hide);
    auto* timer = findChild<QTimer*>(QStringLiteral("timWaitTime"));
    connect(timer, &QTimer::timeout, this, [this] { run([](LinkLogic& l) { l.onTimer("timWaitTime"); }); });
}

void TLinkForm::run(const std::function<void(LinkLogic&)>& handler)
{
    if (!FLogic)
        return;
    if (FGuard)
        FGuard([&] { handler(*FLogic); });
    else
        handler(*FLogic);
}

bool TLinkForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        // A key the focused control ignores climbs to its parents: act once,
        // where it was first delivered.
        QWidget* focus = focusWidget();
        const bool first = watched == focus || (!focus && watched == this);
        if (first && (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter))
            run([](LinkLogic& l) { l.FormKeyPress(13); });
    }
    return QDialog::eventFilter(watched, event);
}

void TLinkForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    // Restoring from the task bar is not a new opening.
    if (!e->spontaneous())
        run([](LinkLogic& l) { l.FormShow(); });
}

void TLinkForm::hideEvent(QHideEvent* e)
{
    QDialog::hideEvent(e);
    if (!e->spontaneous())
        run([](LinkLogic& l) { l.FormHide(); });
}

void TLinkForm::closeEvent(QCloseEvent* e)
{
    // The dialog lives as long as the main window: closing only hides it.
    e->accept();
    hide();
}

void TLinkForm::keyPressEvent(QKeyEvent* e)
{
    // Escape is no way out here: only the close button and the close box hide
    // the dialog, so a run is not ended by a stray key.
    if (e->key() == Qt::Key_Escape) {
        e->ignore();
        return;
    }
    QDialog::keyPressEvent(e);
}
