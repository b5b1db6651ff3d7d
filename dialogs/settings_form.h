#pragma once
// The port properties dialog: edits the port number and the line settings
// in place when OK is pressed; Cancel leaves them as they were.
#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../serial/message_boxes.h"
#include "../serial/port_settings.h"

namespace Ui {
class TSettingsForm;
}

namespace kd36 {

class TSettingsForm : public QDialog {
    Q_OBJECT
public:
    // portList: " COM%d" / "*COM%d" items (Shift-JIS or ASCII), one per port
    // number from 1 up. describePort(n) names what COMn is (UTF-8), for the
    // hint of the port list. Throws ConversionError when an item that is read
    // while looking for portNumber carries no number.
    TSettingsForm(QWidget* parent, int& portNumber, PortSettings& settings,
                  const std::vector<std::string>& portList, int extension, MessageBoxes& boxes,
                  std::function<std::string(int)> describePort);
    ~TSettingsForm() override;

    // The compact layout for a dialog font of this height (12: normal size).
    void applyCompactLayout(int fontHeight);

    // The number of a port-list item: its characters after the first four.
    static std::optional<int> itemNumber(const std::string& item);

    // Client sizes of the layouts.
    static constexpr int kFullWidth = 320, kFullHeight = 160;

public slots:
    void bbtnOkClick();

private:
    void fill(const std::vector<std::string>& portList, int extension);
    void fillPort(const std::vector<std::string>& portList);
    void fillLine();
    void updatePortHint();
    QString portDescription(int n) const;

    std::unique_ptr<Ui::TSettingsForm> ui;
    int& FPortNumber;
    PortSettings& FSettings;
    MessageBoxes& FBoxes;
    std::function<std::string(int)> FDescribePort;
    std::vector<std::string> FItems; // the port list as given
};

} // namespace kd36
