#pragma once
// The answer-back dialog: sixteen station rows with level bars and a log.
// Every event goes to LinkLogic; the logic reaches the widgets through a
// view the window builds over this dialog.
#include "modeless_form.h"
#include <functional>
#include <array>
#include <memory>

#include "engine/link_logic.h"

class QCheckBox;
class TRangeForm;
namespace kd36 {
class RangeRun;
}
class QPlainTextEdit;
class QProgressBar;

namespace Ui {
class TLinkForm;
}

class TLinkForm : public ModelessForm<kd36::LinkLogic> {
    Q_OBJECT
public:
    explicit TLinkForm(QWidget* parent = nullptr);
    ~TLinkForm() override;

    // Wires the widgets to the logic (once the main engine exists) and
    // hands it the log's words in the window's language.
    void bind(kd36::LinkLogic& logic, Guard guard = {});
    static kd36::LinkWords logWords();
    // Asks where "CSV保存" writes; none: the file dialog. Empty: cancelled.
    std::function<QString(const QString& suggested)> chooseFile;

    // Shows what the logic says; sets only what differs.
    void showLink(const kd36::LinkShown& s);
    // The range test's page follows the run.
    void showRange(const kd36::RangeRun& run);
    QPlainTextEdit* logMemo() const;
    TRangeForm* rangeForm() const { return range_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* e) override;

private:
    // Asks for a file named after `stem` and hands its path to `save`.
    void saveCsv(const QString& stem, const std::function<void(kd36::LinkLogic&, const std::string&)>& save);
    std::array<QCheckBox*, kd36::LinkShown::kStations> ticks() const;
    std::array<QProgressBar*, kd36::LinkShown::kStations> bars() const;

    std::unique_ptr<Ui::TLinkForm> ui;
    TRangeForm* range_ = nullptr;
};
