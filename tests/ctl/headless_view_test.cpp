// The headless view of kd36ctl on the window's own layouts.
#include <gtest/gtest.h>

#include <QFile>

#include <stdexcept>

#include "ctl/headless_view.h"
#include "engine/sjis.h"

using kd36::HeadlessView;

namespace {

std::string layout(const char* name)
{
    QFile f(QStringLiteral(KD36_RESOURCES "/") + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll().toStdString();
}

} // namespace

TEST(HeadlessView, RefusesNamesTheLayoutDoesNotHave)
{
    HeadlessView v(layout("main_form.ui"), {{kd36::TimerId::RxWait, 1400}});
    EXPECT_THROW(v.setText("edtRead21", "x"), std::invalid_argument);
    EXPECT_THROW(v.isChecked("chkNothing"), std::invalid_argument);
    EXPECT_THROW(v.startTimer(kd36::TimerId::WaitTime, 10), std::invalid_argument);
    EXPECT_THROW(v.currentPage("edtRead1"), std::invalid_argument);
    EXPECT_NO_THROW(v.setText("edtRead20", "H"));
    EXPECT_NO_THROW(v.startTimer(kd36::TimerId::RxWait, 1400));
    EXPECT_NO_THROW(v.setChecked("mnuRssiInfo", true)); // menu actions are controls too
}

TEST(HeadlessView, ControlsBehaveAsTheWindowsDo)
{
    HeadlessView v(layout("main_form.ui"), {});
    // Selection-only lists take only their own items, in layout order.
    EXPECT_EQ(v.text("cmbSERIParity"), "None");
    v.setText("cmbSERIParity", "Even");
    EXPECT_EQ(v.itemIndex("cmbSERIParity"), 2);
    v.setText("cmbSERIParity", "Mark");
    EXPECT_EQ(v.itemIndex("cmbSERIParity"), -1);
    // A spin box clamps a number to its range, as QSpinBox::setValue does.
    v.setText("speFRAMByte", "300");
    EXPECT_EQ(v.text("speFRAMByte"), "256");
    EXPECT_EQ(v.currentPage("PageControlSetting"), "tabBasicSetting");
    // Layout texts arrive in Shift-JIS, as the engine keeps text.
    EXPECT_EQ(v.text("spbRead"), kd36::sj("値読込"));

    HeadlessView link(layout("link_form.ui"), {{kd36::TimerId::WaitTime, 10000}});
    EXPECT_FALSE(link.isVisible("btnAbort"));
    EXPECT_EQ(link.control("prgLevel15").maximum, 4);
}
