#pragma once
// The setting panel's widgets: they show the engine's panel and hand each
// user edit to the engine as a typed call.
#include <QObject>

#include <array>
#include <functional>

#include "../engine/setting_panel.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QWidget;

namespace Ui {
class TMainForm;
}

namespace kd36 {

class MainEngine;

class SettingPanelView : public QObject, public PanelView {
public:
    explicit SettingPanelView(Ui::TMainForm& ui, QObject* parent = nullptr);

    // Shows only what differs from what was shown last; the first call
    // compares with the layout's own start.
    void showPanel(const SettingPanel& panel, const PanelEnables& enables) override;
    // The user's edits go to `engine` through `run` (the window's guard).
    void bind(MainEngine& engine, std::function<void(const std::function<void()>&)> run);
    // Spin edits still being typed take their value (or fall back) first, so
    // that a write sends what the panel shows.
    void commitTyping();

private:
    Ui::TMainForm& ui_;
    SettingPanel shown_;
    PanelEnables shownEnables_;
    std::array<QCheckBox*, kPanelTicks> ticks_{};
    std::array<QComboBox*, kPanelChoices> choices_{};
    std::array<QComboBox*, kRelayCount> relays_{};
    std::array<QSpinBox*, kPanelFrames> frames_{};
    std::array<QLineEdit*, kReadBackFields> readBack_{};
};

} // namespace kd36
