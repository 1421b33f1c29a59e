// The window as it comes up: its controls, texts, geometry, chart, hints and
// the disconnected state that creation leaves.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QToolButton>
#include <QToolTip>
#include <qcustomplot.h>

#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

using TWindowStart = TWindowTest;

// Every control that the two-level walk reaches.
QList<QWidget*> WalkedControls(const QWidget* window) {
    QList<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->isWindow()) continue;
        controls << w;
        for (QWidget* inner : w->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (!inner->isWindow()) controls << inner;
    }
    return controls;
}

// The place a group box draws its caption, in its own coordinates.
QRect CaptionRect(QGroupBox* box) {
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.textAlignment = box->alignment();
    return box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
}

}  // namespace

TEST_F(TWindowStart, OnlyTheConnectionGroupIsEnabled) {
    const QList<QWidget*> expectedOn{Ctl<QGroupBox>(*Form, "gboxController"), Ctl<QPushButton>(*Form, "btnConnect"), Ctl<QComboBox>(*Form, "cbPort")};
    for (QWidget* control : WalkedControls(Form.get())) {
        // The chart is never disabled: a recording stays readable without a controller.
        const bool chart = control == Ctl<QCustomPlot>(*Form, "Chart1") || Ctl<QCustomPlot>(*Form, "Chart1")->isAncestorOf(control);
        EXPECT_EQ(OwnEnabled(control), expectedOn.contains(control) || chart)
            << control->metaObject()->className() << " " << control->objectName().toStdString();
    }
    EXPECT_FALSE(OwnEnabled(Ctl<QPushButton>(*Form, "btnDisconnect")));
    EXPECT_FALSE(Ctl<QLabel>(*Form, "Label1")->isEnabled());  // labels are walked too
    // The walk stops at two levels: the bank items inside gboxParams keep their own state.
    EXPECT_TRUE(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->Item(0)));
    EXPECT_FALSE(OwnEnabled(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")));
    EXPECT_FALSE(testsupport::Parts(Form).UART->Enabled());
}

TEST_F(TWindowStart, DefaultsAsDesigned) {
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->Position(), 256);
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->minimum(), 0);
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->maximum(), 511);
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->tickInterval(), 16);
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->pageStep(), 2);
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->singleStep(), 1);
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->tickPosition(), QSlider::TicksAbove);
    EXPECT_EQ(Ctl<TTrackBar>(*Form, "tbarSubCommand")->style()->pixelMetric(QStyle::PM_SliderLength, nullptr,
                                                          Ctl<TTrackBar>(*Form, "tbarSubCommand")),
              15);
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemIndex(), -1);
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgVelocityRaz")->ItemIndex(), 1);
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->ItemIndex(), 0);
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(0), "");
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(1), "");
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelRect(0).width(), 150);
    EXPECT_EQ(Ctl<QComboBox>(*Form, "cbPort")->currentText(), "COM1");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtHistoryDepth")->text(), "100");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtPulsesPerMilimeter")->text(), "80");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtTimerPeriod")->text(), "16");
    EXPECT_TRUE(Ctl<QLineEdit>(*Form, "edtPosition")->isReadOnly());
    EXPECT_EQ(Ctl<QToolButton>(*Form, "sbtnCenter")->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(Form->Measurement().Polling());
    EXPECT_EQ(Form->Measurement().PeriodMs(), 16);
    EXPECT_FALSE(Form->Measurement().Running());
    EXPECT_EQ(testsupport::Parts(Form).Link->LastCommand(), 0xFF);
    EXPECT_EQ(testsupport::Parts(Form).Link->State(), lsDone);
}

TEST_F(TWindowStart, PortListHasComPortsThenDevicesThenSimulatorThenOtherPort) {
    QComboBox* box = Ctl<QComboBox>(*Form, "cbPort");
    ASSERT_GE(box->count(), 6);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(box->itemText(i), QString("COM%1").arg(i + 1));
    EXPECT_EQ(box->itemText(box->count() - 2), U("Симулятор"));
    EXPECT_EQ(box->itemText(box->count() - 1), U("Другой порт…"));
    for (int i = 4; i < box->count() - 2; ++i) EXPECT_TRUE(box->itemText(i).startsWith("/dev/"));
    EXPECT_FALSE(box->isEditable());
}

TEST_F(TWindowStart, FixedClientAreaWithoutMaximize) {
    EXPECT_EQ(Form->windowTitle(), "Servo-Controller setup");
    EXPECT_EQ(Form->size(), QSize(782, 525));
    EXPECT_EQ(Form->minimumSize(), Form->maximumSize());
    EXPECT_FALSE(Form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(Form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->geometry(), QRect(0, 506, 782, 19));
    EXPECT_EQ(Ctl<QGroupBox>(*Form, "gboxParams")->size(), QSize(375, 129));
    EXPECT_EQ(Ctl<QGroupBox>(*Form, "gboxSubCommand")->size(), QSize(396, 65));
    EXPECT_EQ(Ctl<QCustomPlot>(*Form, "Chart1")->size(), QSize(775, 259));
    // Top band 8..105, middle band 112..241, chart below it.
    for (QWidget* top : {static_cast<QWidget*>(Ctl<QGroupBox>(*Form, "gboxController")),
                         static_cast<QWidget*>(Ctl<TRadioGroup>(*Form, "rgServoMode")), static_cast<QWidget*>(Ctl<QGroupBox>(*Form, "GroupBox2")),
                         static_cast<QWidget*>(Ctl<QGroupBox>(*Form, "gboxZ"))})
        EXPECT_EQ(QPair(top->y(), top->height()), QPair(8, 97));
    EXPECT_EQ(Ctl<QGroupBox>(*Form, "gboxParams")->y(), 112);
    EXPECT_EQ(Ctl<QGroupBox>(*Form, "gboxParams")->geometry().bottom() + 1, 241);
    EXPECT_GE(Ctl<QCustomPlot>(*Form, "Chart1")->y(), 241);
    // Every control lies inside the client area and no two bands overlap.
    for (QWidget* w : Form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->isWindow()) continue;
        EXPECT_TRUE(Form->rect().contains(w->geometry())) << w->metaObject()->className();
    }
    EXPECT_FALSE(Ctl<QGroupBox>(*Form, "gboxParams")->geometry().intersects(Ctl<QGroupBox>(*Form, "gboxSubCommand")->geometry()));
    EXPECT_LT(Ctl<QPushButton>(*Form, "btnSTOP")->geometry().bottom(), Ctl<QPushButton>(*Form, "btnGraph")->y());
}

TEST_F(TWindowStart, TextsAsDesigned) {
    const std::vector<std::pair<QString, QString>> captions{
        {Ctl<QGroupBox>(*Form, "gboxController")->title(), U(" Контроллер  ")},
        {Ctl<QPushButton>(*Form, "btnConnect")->text(), U("Подключить")},
        {Ctl<QPushButton>(*Form, "btnDisconnect")->text(), U("Отключить")},
        {Ctl<TRadioGroup>(*Form, "rgServoMode")->title(), U(" Серво-режим ")},
        {Ctl<QGroupBox>(*Form, "GroupBox2")->title(), U(" Текущая позиция")},
        {Ctl<QPushButton>(*Form, "btnGetPosition")->text(), U("Получить")},
        {Ctl<QGroupBox>(*Form, "gboxZ")->title(), U("Позиция \"назначение\" ")},
        {Ctl<QPushButton>(*Form, "btnGetZ")->text(), U("Получить")},
        {Ctl<QPushButton>(*Form, "btnSetPosition")->text(), U("Задать")},
        {Ctl<QPushButton>(*Form, "btnSTOP")->text(), U("СТОП + СБРОС (F3, F11)")},
        {Ctl<QPushButton>(*Form, "btnGraph")->text(), U("Измерение (Старт/Стоп) (F2, F12)")},
        {Ctl<QGroupBox>(*Form, "gboxSubCommand")->title(), U(" Управление ")},
        {Ctl<QToolButton>(*Form, "sbtnCenter")->text(), U("НОЛЬ")},
        {Ctl<TRadioGroup>(*Form, "rgVelocityRaz")->title(), U(" Скорость ")},
        {Ctl<QGroupBox>(*Form, "GroupBox1")->title(), U(" История ")},
        {Ctl<QLabel>(*Form, "Label7")->text(), U("Измерений")},
        {Ctl<QGroupBox>(*Form, "gbEncoder")->title(), U(" Encoder ")},
        {Ctl<QLabel>(*Form, "Label18")->text(), U("Имп/мм")},
        {Ctl<QGroupBox>(*Form, "gboxParams")->title(), U(" Параметры ")},
        {Ctl<QLabel>(*Form, "Label1")->text(), U("#1 (signed)")},
        {Ctl<QLabel>(*Form, "Label3")->text(), U("Kf (#2)")},
        {Ctl<QLabel>(*Form, "Label5")->text(), U("Kp (#3)")},
        {Ctl<QLabel>(*Form, "Label2")->text(), U("Ki (#4)")},
        {Ctl<QLabel>(*Form, "Label4")->text(), U("#5 (signed)")},
        {Ctl<QLabel>(*Form, "Label6")->text(), U("#6")},
        {Ctl<QPushButton>(*Form, "btnGetParams")->text(), U("Получить")},
        {Ctl<QPushButton>(*Form, "btnSetParams")->text(), U("Задать")},
        {Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->title(), U(" EEPROM ")},
        {Ctl<QPushButton>(*Form, "btnLoadEEPROM")->text(), U("Загрузить")},
        {Ctl<QPushButton>(*Form, "btnSaveEEPROM")->text(), U("Сохранить")},
        {Ctl<QGroupBox>(*Form, "GroupBox3")->title(), U(" Период , мс")},
        {Ctl<QLabel>(*Form, "Label8")->text(), U("Измерений")},
    };
    for (const auto& [shown, expected] : captions) EXPECT_EQ(shown, expected);
    EXPECT_EQ(Ctl<QGroupBox>(*Form, "gboxZ")->title().size(), 21);
    const QStringList modes{U("ШИМ"), U("Крутящий момент"), U("Скорость"), U("Позиция")};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemText(i), modes[i]);
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgServoMode")->ItemText(-1), "");
    const QStringList units{U("мм/мин"), U("кИмп/сек"), U("процент")};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgVelocityRaz")->ItemText(i), units[i]);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->ItemText(i), QString("Bank %1").arg(i));
    // The load and save buttons stand in the bank group's frame but belong to the parameters.
    EXPECT_EQ(Ctl<QPushButton>(*Form, "btnLoadEEPROM")->parentWidget(), Ctl<QGroupBox>(*Form, "gboxParams"));
    EXPECT_TRUE(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->geometry().contains(Ctl<QPushButton>(*Form, "btnSaveEEPROM")->geometry()));
}

// Each text fits where it is drawn, so nothing is cut at the fonts at hand.
TEST_F(TWindowStart, EveryTextIsWhole) {
    for (auto* button : Form->findChildren<QPushButton*>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        // Room for the text and a little air on each side.
        EXPECT_GE(contents.width(), button->fontMetrics().horizontalAdvance(button->text()) + 8)
            << button->text().toStdString();
        EXPECT_GE(contents.height(), button->fontMetrics().height()) << button->text().toStdString();
    }
    for (auto* item : Form->findChildren<QRadioButton*>()) {
        EXPECT_GE(item->width(), item->sizeHint().width()) << item->text().toStdString();
        const int indicator = item->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight);
        EXPECT_GE(item->height(), std::max(indicator, item->fontMetrics().height()))
            << item->text().toStdString();
    }
    EXPECT_GE(Ctl<QToolButton>(*Form, "sbtnCenter")->width(), Ctl<QToolButton>(*Form, "sbtnCenter")->sizeHint().width());
    for (auto* label : Form->findChildren<QLabel*>())
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    for (auto* box : Form->findChildren<QGroupBox*>()) {
        EXPECT_LE(CaptionRect(box).right(), box->width() - 4) << box->title().toStdString();
        // Children lie inside their group's frame.
        for (QWidget* inner : box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (inner->isWindow()) continue;
            EXPECT_TRUE(box->rect().adjusted(1, 1, -1, -1).contains(inner->geometry()))
                << box->title().toStdString();
        }
    }
    // The widest caption the drive group takes.
    Ctl<QGroupBox>(*Form, "gboxSubCommand")->setTitle(U(" Управление (Крутящий момент) "));
    EXPECT_LE(CaptionRect(Ctl<QGroupBox>(*Form, "gboxSubCommand")).right(), Ctl<QGroupBox>(*Form, "gboxSubCommand")->width() - 4);
}

TEST_F(TWindowStart, ChartAsDesigned) {
    QCustomPlot* chart = Ctl<QCustomPlot>(*Form, "Chart1");
    ASSERT_EQ(chart->graphCount(), 3);
    EXPECT_EQ(chart->graph(0), testsupport::Parts(Form).Series1);
    EXPECT_EQ(chart->graph(1), testsupport::Parts(Form).Series2);
    EXPECT_EQ(chart->graph(2), testsupport::Parts(Form).Series3);
    EXPECT_EQ(testsupport::Parts(Form).Series1->pen().color(), QColor(Qt::red));
    EXPECT_EQ(testsupport::Parts(Form).Series3->pen().color(), QColor(Qt::blue));
    EXPECT_EQ(testsupport::Parts(Form).Series2->pen().color(), QColor(0, 128, 0));
    for (QCPGraph* series : {testsupport::Parts(Form).Series1, testsupport::Parts(Form).Series2, testsupport::Parts(Form).Series3}) {
        EXPECT_EQ(series->pen().width(), 2);
        EXPECT_EQ(series->scatterStyle().shape(), QCPScatterStyle::ssNone);
        EXPECT_EQ(series->lineStyle(), QCPGraph::lsLine);
        EXPECT_EQ(series->dataCount(), 0);
        EXPECT_EQ(series->keyAxis(), chart->xAxis);
    }
    EXPECT_EQ(testsupport::Parts(Form).Series1->valueAxis(), chart->yAxis);
    EXPECT_EQ(testsupport::Parts(Form).Series2->valueAxis(), chart->yAxis2);
    EXPECT_EQ(testsupport::Parts(Form).Series3->valueAxis(), chart->yAxis);
    EXPECT_EQ(chart->xAxis->label(), U("Время (мсек)"));
    EXPECT_EQ(chart->yAxis->label(), U("Скорость (имп/сек)"));
    EXPECT_EQ(chart->yAxis2->label(), U("рассогласование"));
    EXPECT_EQ(chart->yAxis->labelColor(), testsupport::Parts(Form).Series1->pen().color());
    EXPECT_EQ(chart->yAxis2->labelColor(), testsupport::Parts(Form).Series2->pen().color());
    EXPECT_TRUE(chart->yAxis2->visible());
    EXPECT_FALSE(chart->legend->visible());
}

TEST_F(TWindowStart, HintsOnlyOnTheFiveParametersAndTheBanks) {
    const std::vector<std::pair<QWidget*, QString>> hinted{
        {Ctl<QLineEdit>(*Form, "edtParam1"), U("Ограничение скорости")},
        {Ctl<QLineEdit>(*Form, "edtParam2"), U("Усиление (gain), обратная связь по скорости")},
        {Ctl<QLineEdit>(*Form, "edtParam3"), U("Пропорциональный регулятор (коэфф. передачи)")},
        {Ctl<QLineEdit>(*Form, "edtParam4"), U("Интегральный регулятор (коэфф. передачи)")},
        {Ctl<QLineEdit>(*Form, "edtParam5"), U("Ограничение момента")},
        {Ctl<TRadioGroup>(*Form, "rgrpEEPROM"), U("Bank 0 загружается при сбросе контроллера")},
    };
    for (const auto& [control, hint] : hinted) {
        EXPECT_EQ(control->toolTip(), hint);
        EXPECT_EQ(control->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, control), 500);
    }
    // The bank items pass the group's hint on with the same timing.
    EXPECT_EQ(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->Item(2)->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 500);
    int withTips = 0;
    for (QWidget* w : Form->findChildren<QWidget*>())
        if (!w->toolTip().isEmpty()) ++withTips;
    EXPECT_EQ(withTips, 6);
}

TEST_F(TWindowStart, ClosingTheWindowClosesAnOpenPort) {
    TPtyPair line;
    testsupport::Parts(Form).UART->SetDeviceName(line.SlavePath());
    testsupport::Parts(Form).UART->Open();
    ASSERT_TRUE(testsupport::Parts(Form).UART->Enabled());
    Form->close();
    EXPECT_FALSE(testsupport::Parts(Form).UART->Enabled());
    EXPECT_TRUE(Form->Closed());
}

// A hint comes up only after the mouse has rested on its control for 500 ms.
TEST_F(TWindowStart, HintAppearsAfterTheMouseRests) {
    Ctl<QLineEdit>(*Form, "edtParam1")->setEnabled(true);  // as when connected
    Ctl<QGroupBox>(*Form, "gboxParams")->setEnabled(true);
    // Started before the move, so a slow machine only lengthens what it measures.
    QElapsedTimer rested;
    rested.start();
    QTest::mouseMove(Ctl<QLineEdit>(*Form, "edtParam1"), Ctl<QLineEdit>(*Form, "edtParam1")->rect().center());
    PumpFor(200);  // an early hint would show in this spell
    if (rested.elapsed() < 450) {
        EXPECT_FALSE(QToolTip::isVisible());
    }
    ASSERT_TRUE(WaitFor([] { return QToolTip::isVisible(); }));
    EXPECT_GE(rested.elapsed(), 450);
    EXPECT_EQ(QToolTip::text(), U("Ограничение скорости"));
    QToolTip::hideText();

    // No hint for the sixth parameter, whose text is never shown.
    QTest::mouseMove(Ctl<QLineEdit>(*Form, "edtParam6"), Ctl<QLineEdit>(*Form, "edtParam6")->rect().center());
    PumpFor(1200);  // well past the wake-up delay: a hint would be up by now
    EXPECT_FALSE(QToolTip::isVisible() && QToolTip::text() == "Back-EMF compensation gain");
}
